#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace ostrevane::x11test {

// A session bus of the test's own (dbus-daemon), so that nothing reaches the services of
// whoever runs the tests. Its address is also the process's session bus from SetUp on.
class PrivateSessionBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                    QStringLiteral("--print-address")});
        ASSERT_TRUE(m_bus.waitForReadyRead(10000)) << "dbus-daemon did not start";
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    }

    void TearDown() override
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }

    QString m_address;

private:
    QProcess m_bus;
};

} // namespace ostrevane::x11test
