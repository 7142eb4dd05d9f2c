#include "core/AppDelegate.h"

#include "core/AppleScriptAutomation.h"
#include "core/HotkeySettings.h"
#include "core/NotificationCenter.h"
#include "core/OnboardingManager.h"
#include "core/TestFixtures.h"
#include "platform/sim/SimBrowsers.h"
#include "support/FakePanelPorts.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

class FakeGuideWindows : public GuideWindowFactory {
public:
    struct Window : GuideWindow {
        int& raises;
        explicit Window(int& r) : raises(r) {}
        void bringToFront() override { ++raises; }
    };
    int opened = 0, raises = 0;
    std::function<void()> dismissLast;

    std::unique_ptr<GuideWindow> open(std::function<void()> onDismiss) override
    {
        ++opened;
        dismissLast = std::move(onDismiss);
        return std::make_unique<Window>(raises);
    }
};

class FakeCopies : public RunningCopies {
public:
    std::optional<QString> own;
    std::vector<Copy> running;
    std::vector<ProcessID> terminated; // (QList<int> equality trips UBSan on empty lists)

    std::optional<QString> ownLocation() override { return own; }
    std::vector<Copy> others() override { return running; }
    void terminate(const Copy& copy) override { terminated.push_back(copy.pid); }
};

class AppDelegateTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    FakeScreens screens;
    FakePanelWindowFactory windows;
    FakeInputMonitors monitors;
    CountingFeedback feedback;
    FakeHotkeyService hotkeys;
    FakeGuideWindows guide;
    FakeCopies copies;
    SimBrowsers browsers{runtime.desktop()};
    AppleScriptAutomation automation{browsers};
    std::unique_ptr<AppDelegate> delegate;

    AppDelegateTest()
    {
        runtime.context().ports().scriptRunner = &browsers;
        runtime.context().ports().browserAutomation = &automation;
        qunsetenv(OstrevaneTestFixtures::panelVariable);
        qunsetenv(OstrevaneTestFixtures::selectionVariable);
        screens.list = {ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
        copies.own = QStringLiteral("/Applications/Ostrevane.app");
        delegate = std::make_unique<AppDelegate>(
            AppDelegate::Ports{{screens, windows, monitors, feedback},
                               std::make_shared<GlobalHotKey::Registry>(hotkeys, runtime.dispatcher()), &guide, &copies,
                               QStringLiteral("/Applications/"), {}, {}});
    }
    ~AppDelegateTest() override { qunsetenv(OstrevaneTestFixtures::panelVariable); }

    size_t backgroundRefreshes() { return runtime.dispatcher().backgroundSubmissions(QueuePriority::userInitiated); }
};

} // namespace

TEST_F(AppDelegateTest, FirstLaunchOpensTheGuideHalfASecondLater)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.advance(0.49);
    EXPECT_EQ(guide.opened, 0);
    runtime.advance(0.01);
    EXPECT_EQ(guide.opened, 1);
    EXPECT_EQ(OnboardingManager::shared().stage(), OnboardingStage::summon);
}

TEST_F(AppDelegateTest, GuideIsNotOfferedAgainOnceCompleted)
{
    runtime.defaults().set(OnboardingManager::didCompleteKey, true);
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.advance(1.0);
    EXPECT_EQ(guide.opened, 0);
}

TEST_F(AppDelegateTest, TestModeSkipsTheCopyRuleAndNeverOpensTheGuide)
{
    qputenv(OstrevaneTestFixtures::panelVariable, "1");
    copies.own = QStringLiteral("/home/user/build/ostrevane");
    copies.running = {{77, QStringLiteral("/Applications/Ostrevane.app")}};

    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.advance(5.0);
    EXPECT_EQ(windows.made.size(), 1u);
    EXPECT_EQ(guide.opened, 0);
    EXPECT_TRUE(copies.terminated.empty());
}

TEST_F(AppDelegateTest, AskingForTheGuideAgainRaisesTheOpenOneAndWithoutTrustItStartsAtThePermissions)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    NotificationCenter::shared().post(Notifications::showGuide);
    NotificationCenter::shared().post(Notifications::showGuide);
    EXPECT_EQ(guide.opened, 1);
    EXPECT_EQ(guide.raises, 1);

    guide.dismissLast();
    EXPECT_FALSE(delegate->isGuideOpen());
    runtime.accessibility.setTrusted(false);
    delegate->showGuide();
    EXPECT_EQ(guide.opened, 2);
    EXPECT_EQ(OnboardingManager::shared().stage(), OnboardingStage::permissions);
}

TEST_F(AppDelegateTest, BrowserWarmupEveryEighteenSecondsOnlyWhileABrowserRuns)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.runUntilIdle();
    const size_t before = backgroundRefreshes();
    runtime.advance(18.0);
    EXPECT_EQ(backgroundRefreshes(), before);

    runtime.desktop().launch(QStringLiteral("com.google.Chrome"), QStringLiteral("Chrome"));
    runtime.advance(17.9);
    EXPECT_EQ(backgroundRefreshes(), before);
    runtime.advance(0.1);
    EXPECT_EQ(backgroundRefreshes(), before + 1);
}

TEST_F(AppDelegateTest, SingleInstanceRuleYieldsOnlyToAnInstalledCopy)
{
    const struct {
        const char* name;
        std::optional<QString> own;
        std::vector<RunningCopies::Copy> others;
        bool quits;
        std::vector<ProcessID> terminated;
    } rows[] = {
        {"uninstalled copy yields to an installed one", QStringLiteral("/home/u/ostrevane"),
         {{11, QStringLiteral("/tmp/other")}, {12, QStringLiteral("/Applications/Ostrevane.app")}}, true, {}},
        {"uninstalled copy replaces other uninstalled ones", QStringLiteral("/home/u/ostrevane"),
         {{11, QStringLiteral("/tmp/other")}, {12, QString()}}, false, {11, 12}},
        {"installed copy replaces every other", QStringLiteral("/Applications/Ostrevane.app"),
         {{11, QStringLiteral("/Applications/Ostrevane.app")}, {12, QStringLiteral("/tmp/other")}}, false, {11, 12}},
        {"no identity skips the rule", std::nullopt, {{11, QStringLiteral("/tmp/other")}}, false, {}},
    };
    for (const auto& row : rows) {
        copies.own = row.own;
        copies.running = row.others;
        copies.terminated.clear();
        EXPECT_EQ(delegate->enforceSingleInstance(), row.quits) << row.name;
        EXPECT_EQ(copies.terminated, row.terminated) << row.name;
    }
}

TEST_F(AppDelegateTest, AYieldingCopyStartsNothing)
{
    copies.own = QStringLiteral("/home/u/ostrevane");
    copies.running = {{12, QStringLiteral("/Applications/Ostrevane.app")}};
    EXPECT_FALSE(delegate->applicationDidFinishLaunching());
    EXPECT_EQ(delegate->panelController(), nullptr);
    EXPECT_TRUE(hotkeys.registered.empty());
    runtime.advance(1.0);
    EXPECT_EQ(guide.opened, 0);
}

TEST_F(AppDelegateTest, PrivacyPaneOpensOnlyAValidAddress)
{
    openPrivacyPane(QStringLiteral("Privacy_Accessibility"));
    openPrivacyPane(QStringLiteral("Privacy Accessibility"));
    EXPECT_EQ(runtime.desktop().workspace.log(),
              (QStringList{"openURL x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"}));
}

TEST_F(AppDelegateTest, SuspendedHotKeysAreReleasedUntilTheLastHoldEndsAndThenFollowTheStoredChord)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    const FakeHotkeyService::Chord altTab{48, 0x800};
    const auto held = [this] {
        std::vector<FakeHotkeyService::Chord> chords;
        for (const auto& [id, chord] : hotkeys.registered)
            chords.push_back(chord);
        return chords;
    };
    ASSERT_EQ(held(), std::vector{altTab});

    std::shared_ptr<void> first = delegate->suspendHotKeys();
    std::shared_ptr<void> second = delegate->suspendHotKeys();
    EXPECT_TRUE(held().empty());
    // A chord stored while suspended (the recorder's capture) is not grabbed yet.
    HotkeyStore::setCurrent(HotkeyConfig{49, 0x100});
    EXPECT_TRUE(held().empty());
    first.reset();
    EXPECT_TRUE(held().empty());
    second.reset();
    EXPECT_EQ(held(), (std::vector{FakeHotkeyService::Chord{49, 0x100}}));
    EXPECT_FALSE(delegate->areHotKeysSuspended());
}

TEST_F(AppDelegateTest, AHoldThatOutlivesTheDelegateEndsQuietly)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    std::shared_ptr<void> hold = delegate->suspendHotKeys();
    delegate.reset();
    hold.reset();
    EXPECT_TRUE(hotkeys.registered.empty());
}
