#include "PreferencesTestKit.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "ui/PreferencesWindow.h"
#include "ui/StatusBarController.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::prefskit;

namespace {

class FakeTrayHosts : public TrayHosts {
public:
    Kind now = Kind::none;
    std::function<void(Kind)> appeared;

    Kind current() override { return now; }
    void watch(std::function<void(Kind)> callback) override { appeared = std::move(callback); }
    void appear(Kind kind)
    {
        now = kind;
        appeared(kind);
    }
};

struct TrayFixture : PrefsFixture {
    FakeTrayHosts hosts;
    int quits = 0;
    std::unique_ptr<StatusBarController> controller;

    void start(TrayHosts::Kind kind = TrayHosts::Kind::none)
    {
        hosts.now = kind;
        StatusBarController::Environment env;
        env.preferences = environment();
        env.hosts = &hosts;
        env.quit = [this] { ++quits; };
        controller = std::make_unique<StatusBarController>(std::move(env));
    }
    QAction* command(int index) const { return controller->menu()->actions().at(index); }
    int posts(const QString& name, const std::function<void()>& act)
    {
        int count = 0;
        NotificationCenter& center = runtime.context().notifications();
        const auto token = center.addObserver(name, [&] { ++count; });
        act();
        center.removeObserver(token);
        return count;
    }
};

} // namespace

// The labels and the Feedback command are seen end to end through a tray; the other
// commands reach the program only through their notifications.
TEST(StatusBarController, CommandsPostTheirNotificationsOrQuit)
{
    TrayFixture f;
    f.start();
    EXPECT_EQ(f.posts(Notifications::triggerForward, [&] { f.command(0)->trigger(); }), 1);
    EXPECT_EQ(f.posts(Notifications::showGuide, [&] { f.command(4)->trigger(); }), 1);
    f.command(7)->trigger();
    EXPECT_EQ(f.quits, 1);
    EXPECT_FALSE(f.command(5)->isEnabled()); // no updater in this build
}

TEST(StatusBarController, FeedbackSwitchesTheOpenWindowAndClosingForgetsIt)
{
    TrayFixture f;
    f.start();
    f.command(2)->trigger();
    PreferencesWindowController* window = f.controller->preferences();
    ASSERT_NE(window, nullptr);
    f.command(3)->trigger();
    EXPECT_EQ(f.controller->preferences(), window);
    EXPECT_EQ(window->selection(), PreferencesPane::feedback);

    window->close();
    EXPECT_EQ(f.controller->preferences(), nullptr);
}

TEST(StatusBarController, ARestartedWatcherGetsANewIconWithTheMenuInEveryLanguage)
{
    TrayFixture f;
    f.start(TrayHosts::Kind::statusNotifier);
    const QSystemTrayIcon* first = f.controller->statusItem();
    ASSERT_NE(first, nullptr);
    f.hosts.appear(TrayHosts::Kind::statusNotifier);
    EXPECT_NE(f.controller->statusItem(), first);

    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(f.controller->statusItem()->contextMenu(), f.controller->menu());
}
