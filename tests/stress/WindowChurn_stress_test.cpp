// Windows opened and closed at about 100 per second for a minute while Alt+Tab is tapped
// every 50 ms: the switcher lives through it, lists no window that has gone once the
// desktop has been quiet for a second, and its memory after the churn is what it was
// before (the figures are printed). About 90 s; run by scripts/storm-and-churn.sh.
// OSTREVANE_CHURN_SECONDS churns longer (RSS is then printed every 30 s).
#include "FakeInput.h"

#include "../e2e/E2eDesktop.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace ostrevane::e2e;
using ostrevane::stress::FakeInput;

namespace {

constexpr int windowsPerSecond = 100;
constexpr int defaultChurnSeconds = 60;
constexpr int windowLifetimeMs = 500;
constexpr auto tapInterval = std::chrono::milliseconds(50);
constexpr Timeout lineTimeout = 10s;
// Allocator arenas and Qt's caches settle at some size; a leak per window (5,000 and
// more of them here) grows far past this.
constexpr qint64 allowedGrowthKb = 16 * 1024;
const QString shownPrefix = QStringLiteral("ostrevane.panel: shown: ");

qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    return -1;
}

class WindowChurn : public E2eSuite {
protected:
    // A quick Alt+Tab, as fast as a person's tap.
    void tap()
    {
        m_input->press("Alt_L");
        m_input->tap("Tab");
        m_input->flush();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_input->release("Alt_L");
        m_input->flush();
    }

    std::unique_ptr<FakeInput> m_input;
};

} // namespace

TEST_F(WindowChurn, AMinuteOfWindowsComingAndGoingLeavesNoStaleRowAndFlatMemory)
{
    app = desktop->startSwitcher();
    ASSERT_TRUE(app) << "the switcher did not start";
    for (const QString& title : {QStringLiteral("Alpha"), QStringLiteral("Beta")}) {
        clients.push_back(desktop->startXterm(title));
        ASSERT_TRUE(clients.back());
    }
    m_input = std::make_unique<FakeInput>(desktop->display());
    ASSERT_TRUE(m_input->isUsable());
    tap();
    ASSERT_TRUE(app->waitForLine(shownPrefix, lineTimeout));
    const qint64 before = residentKb(app->pid());
    const char* seconds = std::getenv("OSTREVANE_CHURN_SECONDS");
    const int churnSeconds = seconds ? std::max(1, std::atoi(seconds)) : defaultChurnSeconds;

    auto churn = std::make_unique<Child>(
        QStringLiteral(OSTREVANE_CHURN_CLIENT),
        QStringList{QString::number(windowsPerSecond), QString::number(churnSeconds), QString::number(windowLifetimeMs)},
        desktop->environment());
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(churnSeconds);
    QStringList during;
    for (auto next = start + std::chrono::seconds(30); std::chrono::steady_clock::now() < end;) {
        tap();
        std::this_thread::sleep_for(tapInterval);
        if (std::chrono::steady_clock::now() >= next) {
            during << QString::number(residentKb(app->pid()));
            next += std::chrono::seconds(30);
        }
    }
    ASSERT_TRUE(churn->waitForLine(QStringLiteral("done"), lineTimeout)) << churn->status().toStdString();
    ASSERT_TRUE(app->isRunning()) << app->status().toStdString();

    // Quiet for a second, the lines of the churn's showings read, then one more showing.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    app->waitForLine(QStringLiteral("<only the backlog>"), 2s);
    tap();
    const std::optional<QString> rows = app->waitForLine(shownPrefix, lineTimeout);
    ASSERT_TRUE(rows);
    EXPECT_FALSE(rows->contains(QStringLiteral("Churn"))) << rows->toStdString();
    const qint64 after = residentKb(app->pid());
    std::cout << "RSS before " << before << " kB, during (every 30 s) " << during.join(QStringLiteral(", ")).toStdString()
              << " kB, after " << after << " kB" << std::endl;
    EXPECT_LT(after - before, allowedGrowthKb);
    EXPECT_TRUE(app->isRunning());
}
