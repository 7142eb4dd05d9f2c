#include "core/shell/AppDelegate.h"

#include "core/sources/AppleScriptAutomation.h"
#include "core/input/HotkeySettings.h"
#include "core/shell/NotificationCenter.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/TestPanelItems.h"
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
    std::function<std::optional<QString>()> chordHeldElsewhere;

    std::unique_ptr<GuideWindow> open(std::function<void()> onDismiss,
                                      std::function<std::optional<QString>()> heldElsewhere) override
    {
        ++opened;
        dismissLast = std::move(onDismiss);
        chordHeldElsewhere = std::move(heldElsewhere);
        return std::make_unique<Window>(raises);
    }
};

class FakeCopies : public RunningCopies {
public:
    std::optional<QString> own;
    std::vector<Copy> running;
    std::vector<ProcessID> terminated; // (QList<int> equality trips UBSan on empty lists)
    std::vector<std::pair<ProcessID, LaunchRequest>> handedOver;
    bool takesRequests = true;
    std::function<void(const LaunchRequest&)> laterCopies; // set once this copy settled

    std::optional<QString> ownLocation() override { return own; }
    std::vector<Copy> others() override { return running; }
    void terminate(const Copy& copy) override { terminated.push_back(copy.pid); }
    bool handOver(const Copy& copy, const LaunchRequest& request) override
    {
        handedOver.emplace_back(copy.pid, request);
        return takesRequests;
    }
    void settle(std::function<void(const LaunchRequest&)> handler) override { laterCopies = std::move(handler); }
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
        qunsetenv(TestPanelItems::panelVariable);
        qunsetenv(TestPanelItems::selectionVariable);
        screens.list = {ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)}};
        copies.own = QStringLiteral("/Applications/Ostrevane.app");
        makeDelegate({});
    }
    void makeDelegate(const LaunchRequest& request)
    {
        AppDelegate::Ports ports{{screens, windows, monitors, feedback},
                                 std::make_shared<GlobalHotKey::Registry>(hotkeys, runtime.dispatcher()), &guide, &copies,
                                 QStringLiteral("/Applications/"), {}, {}};
        ports.request = request;
        ports.openPreferences = [](const QString&) {};
        delegate = std::make_unique<AppDelegate>(std::move(ports));
    }
};

} // namespace

// The first launch opening the guide is driven through the real program end to end.
TEST_F(AppDelegateTest, NoLaunchOffersTheGuideOnceItIsCompleted)
{
    runtime.defaults().set(OnboardingManager::didCompleteKey, true);
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    runtime.advance(1.0);
    EXPECT_EQ(guide.opened, 0);
}

TEST_F(AppDelegateTest, AskingForTheGuideAgainRaisesTheOpenOne)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    NotificationCenter::shared().post(Notifications::showGuide);
    NotificationCenter::shared().post(Notifications::showGuide);
    EXPECT_EQ(guide.opened, 1);
    EXPECT_EQ(guide.raises, 1);

    guide.dismissLast();
    delegate->showGuide();
    EXPECT_EQ(guide.opened, 2);
}

// A second start of the same program handing over is driven end to end.
TEST_F(AppDelegateTest, ASecondStartHandsOverToAnInstalledCopyAndReplacesOnlyOthers)
{
    const QString installed = QStringLiteral("/Applications/Ostrevane.app");
    const struct {
        const char* name;
        std::optional<QString> own;
        std::vector<RunningCopies::Copy> others;
        bool quits;
        std::vector<ProcessID> handedOver;
        std::vector<ProcessID> terminated;
    } rows[] = {
        {"uninstalled copy yields to an installed one", QStringLiteral("/home/u/ostrevane"),
         {{11, QStringLiteral("/tmp/other")}, {12, installed}}, true, {12}, {}},
        {"uninstalled copy replaces one elsewhere", QStringLiteral("/home/u/ostrevane"),
         {{11, QStringLiteral("/tmp/other")}, {12, QString()}}, false, {}, {11, 12}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        copies.own = row.own;
        copies.running = row.others;
        copies.terminated.clear();
        copies.handedOver.clear();
        EXPECT_EQ(delegate->enforceSingleInstance(), row.quits);
        std::vector<ProcessID> handedOver;
        for (const auto& [pid, request] : copies.handedOver)
            handedOver.push_back(pid);
        EXPECT_EQ(handedOver, row.handedOver);
        EXPECT_EQ(copies.terminated, row.terminated);
    }
}

// Handing over a request that the running copy takes is driven through the real program end to end.
TEST_F(AppDelegateTest, ARefusedHandOverEndsWithAFailureStatus)
{
    copies.running = {{11, *copies.own}};
    copies.takesRequests = false;
    makeDelegate({LaunchRequest::Kind::show, {}});
    EXPECT_FALSE(delegate->applicationDidFinishLaunching());
    EXPECT_EQ(delegate->exitCode(), 1);
}

// Opening on the last row and moving back are driven through the real program end to end.
TEST_F(AppDelegateTest, TheReverseChordFollowsTheActivationChord)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    using Chord = FakeHotkeyService::Chord;
    HotkeyStore::setCurrent({49, 0x1000}); // Control+Space
    EXPECT_EQ(hotkeys.liveChords(), (std::vector<Chord>{{49, 0x1000}, {49, 0x1000 | 0x200}}));
    HotkeyStore::setCurrent({7, 0x800 | 0x200}); // a chord with Shift has no reverse
    EXPECT_EQ(hotkeys.liveChords(), (std::vector<Chord>{{7, 0x800 | 0x200}}));
}

TEST_F(AppDelegateTest, ATakenChordIsRetriedWhenTheGuideOrTheSettingsOpenAndTheGuideIsToldWhileItIsTaken)
{
    runtime.defaults().set(OnboardingManager::didCompleteKey, true);
    hotkeys.heldElsewhere.insert({48, 0x800});
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    EXPECT_TRUE(delegate->hotKeyForward()->isHeldElsewhere());

    const int before = hotkeys.retries;
    delegate->showGuide();
    EXPECT_EQ(hotkeys.retries, before + 1);
    ASSERT_TRUE(guide.chordHeldElsewhere);
    EXPECT_EQ(guide.chordHeldElsewhere(), std::optional<QString>(QStringLiteral("⌥⇥")));

    NotificationCenter::shared().post(Notifications::openPreferencesPane);
    EXPECT_EQ(hotkeys.retries, before + 2);

    hotkeys.heldElsewhere.clear(); // the window manager let go
    runtime.advance(GlobalHotKey::retryInterval);
    EXPECT_TRUE(delegate->hotKeyForward()->isRegistered());
    EXPECT_EQ(guide.chordHeldElsewhere(), std::nullopt);
}

TEST_F(AppDelegateTest, AHoldThatOutlivesTheDelegateEndsQuietly)
{
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    std::shared_ptr<void> hold = delegate->suspendHotKeys();
    delegate.reset();
    hold.reset();
    EXPECT_TRUE(hotkeys.registered.empty());
}
