#include "platform/x11/DesktopNotifications.h"

#include "PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QVariantMap>

#include <memory>
#include <vector>

namespace ostrevane {
namespace {

struct Shown {
    QString appName, icon, summary, body;
    QVariantMap hints;
    int expire = 0;
};

// A notification service that keeps what it was asked to show.
class NotificationsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationsAdaptor(QObject* parent) : QDBusAbstractAdaptor(parent) {}
    std::vector<Shown> shown;
public slots:
    uint Notify(const QString& appName, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int expire)
    {
        shown.push_back({appName, icon, summary, body, hints, expire});
        return uint(shown.size());
    }
};

class DesktopNotificationsTest : public x11test::PrivateSessionBusTest {
protected:
    void serve()
    {
        m_server = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, QStringLiteral("server")));
        m_service = new NotificationsAdaptor(&m_object);
        ASSERT_TRUE(m_server->registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_object));
        ASSERT_TRUE(m_server->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void TearDown() override
    {
        if (m_server)
            QDBusConnection::disconnectFromBus(m_server->name());
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        x11test::PrivateSessionBusTest::TearDown();
    }
    QDBusConnection client() { return QDBusConnection::connectToBus(m_address, QStringLiteral("client")); }
    // Serves the bus until the service has been called `count` times or two seconds passed.
    bool waitForShown(std::size_t count)
    {
        QElapsedTimer clock;
        clock.start();
        while (m_service->shown.size() < count && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return m_service->shown.size() >= count;
    }

    QObject m_object;
    NotificationsAdaptor* m_service = nullptr;
    std::unique_ptr<QDBusConnection> m_server;
};

TEST_F(DesktopNotificationsTest, AMessageReachesTheServiceWithOurNameAndEntry)
{
    serve();
    DesktopNotifications notifications(client());
    notifications.show(QStringLiteral("Could not open Vim"), QStringLiteral("No terminal was found"));

    ASSERT_TRUE(waitForShown(1));
    const Shown& shown = m_service->shown.front();
    EXPECT_EQ(shown.appName, QStringLiteral("Ostrevane"));
    EXPECT_EQ(shown.summary, QStringLiteral("Could not open Vim"));
    EXPECT_EQ(shown.body, QStringLiteral("No terminal was found"));
    EXPECT_EQ(shown.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.local.ostrevane"));
    EXPECT_EQ(shown.expire, DesktopNotifications::expireMilliseconds);
}

TEST_F(DesktopNotificationsTest, WithoutAServiceOrABusTheMessageIsDroppedWithoutWaiting)
{
    DesktopNotifications(client()).show(QStringLiteral("nobody listens"), QString());
    DesktopNotifications(QDBusConnection(QStringLiteral("never connected"))).show(QStringLiteral("no bus"), QString());
    // A later service sees nothing of what was sent before it came.
    serve();
    EXPECT_FALSE(waitForShown(1));
}

} // namespace
} // namespace ostrevane

#include "DesktopNotifications_test.moc"
