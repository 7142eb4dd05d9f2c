#include "core/AppDelegate.h"

#include "core/AppleScriptAutomation.h"

#include "core/HotkeySettings.h"
#include "core/MRUStore.h"
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

constexpr quint32 tab = 48, space = 49, option = 0x800, control = 0x1000;

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
    void pressHotkey(quint32 keyCode, quint32 modifiers)
    {
        hotkeys.press(FakeHotkeyService::Chord{keyCode, modifiers});
        runtime.runUntilIdle();
    }
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

TEST_F(AppDelegateTest, AChangedChordReplacesTheStoredOneAtOnce)
{
    runtime.desktop().launch(QStringLiteral("com.example.editor"), QStringLiteral("Editor"), ActivationPolicy::regular,
                             QStringLiteral("/Applications/Editor.app"));
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    HotkeyStore::setCurrent(HotkeyConfig{space, control});
    EXPECT_EQ(hotkeys.registered.size(), 1u); // the old chord is given back to the desktop
    pressHotkey(tab, option);
    EXPECT_FALSE(delegate->panelController()->isShown());
    pressHotkey(space, control);
    EXPECT_TRUE(delegate->panelController()->isShown());
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

TEST_F(AppDelegateTest, ActivatingAnAppRecordsItsUseABrowserRefreshesItsTabsAndAQuitRefreshesEverything)
{
    const ProcessID editor = runtime.desktop().launch(QStringLiteral("com.example.editor"), QStringLiteral("Editor"));
    const ProcessID chrome = runtime.desktop().launch(QStringLiteral("com.google.Chrome"), QStringLiteral("Chrome"));
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.runUntilIdle();
    const size_t before = backgroundRefreshes();
    const auto activate = [&](ProcessID pid) {
        runtime.desktop().workspace.setFrontmost(pid);
        runtime.desktop().workspace.postActivation(pid);
        runtime.runUntilIdle();
    };

    activate(editor);
    EXPECT_GT(MRUStore::shared().score(QString(), QStringLiteral("com.example.editor")), distantPast());
    EXPECT_EQ(backgroundRefreshes(), before);
    activate(chrome);
    EXPECT_EQ(backgroundRefreshes(), before + 1);
    runtime.desktop().workspace.postTermination(editor); // windows and all tabs
    runtime.runUntilIdle();
    EXPECT_EQ(backgroundRefreshes(), before + 3);
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
        {"no other copy", QStringLiteral("/home/u/ostrevane"), {}, false, {}},
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
