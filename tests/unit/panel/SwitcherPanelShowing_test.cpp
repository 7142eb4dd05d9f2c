// The panel's showings: showing and hiding, keys, Option release, clicks and the guide.
#include "core/panel/SwitcherPanelController.h"

#include "core/model/MRUStore.h"
#include "core/shell/NotificationCenter.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/PlatformProfile.h"
#include "core/model/SearchViewModel.h"
#include "support/FakePanelPorts.h"
#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 option = 0x800, shift = 0x200, tabKey = 48;

const ScreenInfo mainScreen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};

// Sources that are read again only when the controller asks. Each request is logged; a
// background read finishes on the main queue, as the caches' do, or waits for the test
// while `holdReads` is set.
class ScriptedRefresh {
public:
    explicit ScriptedRefresh(Dispatcher& mainQueue) : m_mainQueue(mainQueue) {}

    QStringList requests;
    bool windowsCurrent = true;
    bool windowsFresh = true;
    bool holdReads = false;
    std::function<void()> onWindowsRead = [] {}; // what reading the windows finds

    ListRefresh hooks()
    {
        return {
            .windowsCurrent = [this] { return windowsCurrent; },
            .windowsFresh = [this](double) { return windowsFresh; },
            .invalidateWindows = [this] { requests << "invalidate windows"; },
            .refreshWindowsNow = [this] {
                requests << "read windows now";
                onWindowsRead();
            },
            .refreshWindowsAsync = [this](ListRefresh::Completion done) {
                requests << "read windows";
                later([this, done] {
                    onWindowsRead();
                    done();
                });
            },
            .refreshForegroundBrowserNow = [this] { requests << "read front browser now"; },
            .refreshTabsAsync = [this](const std::optional<QString>& browser, ListRefresh::Completion done) {
                requests << "read tabs of " + browser.value_or(QStringLiteral("every browser"));
                later(std::move(done));
            },
        };
    }
    // Finishes the oldest held read.
    void finishNext()
    {
        ASSERT_FALSE(m_held.empty());
        const ListRefresh::Completion done = m_held.front();
        m_held.erase(m_held.begin());
        m_mainQueue.async(done);
    }

private:
    void later(ListRefresh::Completion done)
    {
        if (holdReads)
            m_held.push_back(std::move(done));
        else
            m_mainQueue.async(std::move(done));
    }

    Dispatcher& m_mainQueue;
    std::vector<ListRefresh::Completion> m_held;
};

class PanelShowingTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    FakeScreens screens;
    FakePanelWindowFactory windows;
    FakeInputMonitors monitors;
    CountingFeedback feedback;
    std::vector<WindowItem> openWindows;
    std::vector<TabItem> tabs;
    ScriptedRefresh refresh{runtime.dispatcher()};
    std::unique_ptr<SwitcherPanelController> controller;

    PanelShowingTest()
    {
        screens.list = {mainScreen};
        screens.pointer = {100, 100};
        controller = std::make_unique<SwitcherPanelController>(
            SwitcherPanelController::Sources{[this] { return openWindows; }, [this] { return tabs; },
                                             [] { return std::vector<AppItem>{}; }, MRUStore::shared(),
                                             runtime.desktop().workspace, runtime.clock, PlatformProfile::macOS(),
                                             refresh.hooks()},
            SwitcherPanelController::PanelPorts{screens, windows, monitors, feedback});
    }

    void openWindowsTitled(const QStringList& titles)
    {
        for (const QString& title : titles)
            openWindows.push_back(fixtures::window("Editor", QStringLiteral("com.example.editor"), title));
    }
    SearchViewModel& model() { return *controller->viewModel(); }
    QStringList titles()
    {
        QStringList result;
        for (const SwitchItem& item : model().items())
            result << item.title();
        return result;
    }
    int selected() { return controller->viewModel()->selectedIndex(); }
    FakePanelWindow& panel() { return windows.last(); }
    void showAndSettle()
    {
        controller->show(1);
        panel().finishSlideIn();
        runtime.runUntilIdle();
    }
};

} // namespace

TEST_F(PanelShowingTest, WithoutAccessibilityForwardBeepsAndAsksForTheGuide)
{
    runtime.accessibility.setTrusted(false);
    int guideRequests = 0;
    NotificationCenter::shared().addObserver(Notifications::showGuide, [&] { ++guideRequests; });
    controller->forward();
    EXPECT_EQ(feedback.beeps, 1);
    EXPECT_EQ(guideRequests, 1);
    EXPECT_EQ(OnboardingManager::shared().stage(), OnboardingStage::permissions);
    EXPECT_FALSE(controller->isShown());
}

TEST_F(PanelShowingTest, ClickMonitorsComeAfterTheSlideInAndNeverForAPanelHiddenDuringIt)
{
    openWindowsTitled({"one", "two"});
    controller->show(1);
    EXPECT_EQ(monitors.installed(), (QStringList{"key", "localFlags", "globalFlags", "mouseMoved"}));
    FakePanelWindow& first = panel();
    controller->hide();
    first.finishSlideIn();
    EXPECT_EQ(monitors.installed(), QStringList{});

    showAndSettle();
    EXPECT_EQ(monitors.installed(),
              (QStringList{"key", "localFlags", "globalFlags", "mouseMoved", "globalClick", "localClick"}));
}

// Before the first showing the window is readied for the list and size that showing opens
// with; from then on showings keep it ready.
TEST_F(PanelShowingTest, ARehearsalReadiesTheWindowForTheListTheFirstShowingOpensWith)
{
    openWindowsTitled({"one", "two", "three"});
    controller->rehearse();
    showAndSettle();
    controller->hide();
    controller->rehearse();
    controller->windowListChanged();
    runtime.runUntilIdle();
    ASSERT_EQ(windows.rehearsals.size(), 1u);
    EXPECT_EQ(windows.rehearsals[0], std::make_tuple(3, 1, panel().final.size()));
}

TEST_F(PanelShowingTest, ReleasingOptionOpensTheHighlightedRowOnce)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();
    monitors.pressKey(tabKey, option | shift);
    monitors.releaseOption();
    monitors.releaseOption(true); // the desktop-wide monitor saw the same release
    EXPECT_EQ(runtime.actions.log, (QStringList{"activateWindow one"}));
    EXPECT_TRUE(panel().keyboardYielded); // the next Alt+Tab must reach the hotkey
}

// A quick Alt+Tab right after a switch, before the opened showing has hidden.
TEST_F(PanelShowingTest, ASummonRightAfterASwitchStartsANewShowingThatTheOldHideLeavesAlone)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();
    monitors.releaseOption();
    controller->forward();
    panel().finishSlideIn();
    runtime.advance(0.1);
    EXPECT_TRUE(controller->isShown());
    monitors.releaseOption();
    EXPECT_EQ(runtime.actions.log, (QStringList{"activateWindow two", "activateWindow one"}));
}

TEST_F(PanelShowingTest, SummoningDuringTheGuideEngagesAndSuppressesTheCommit)
{
    openWindowsTitled({"one", "two"});
    OnboardingManager::shared().setStage(OnboardingStage::summon);
    controller->forward();

    EXPECT_TRUE(model().engaged());
    EXPECT_TRUE(controller->suppressCommitOnOptionRelease());
    EXPECT_EQ(OnboardingManager::shared().stage(), OnboardingStage::panelBasics);
}

TEST_F(PanelShowingTest, AShowingReadsAChangedWindowListFirstAStaleOneOnScreenAndRebuildsOnceEveryReadHasFinished)
{
    openWindowsTitled({"one"});
    int reads = 0;
    refresh.onWindowsRead = [&] { openWindowsTitled({QStringLiteral("read %1").arg(++reads)}); };
    runtime.desktop().workspace.setFrontmost(runtime.desktop().launch("com.google.Chrome", "Chrome"));
    refresh.windowsCurrent = false;
    refresh.windowsFresh = false;
    refresh.holdReads = true;

    controller->show(1);
    EXPECT_EQ(refresh.requests,
              (QStringList{"read front browser now", "read windows now", "read tabs of com.google.Chrome"}));
    EXPECT_EQ(titles(), (QStringList{"one", "read 1", "Chrome"}));
    panel().finishSlideIn(); // the stale list is read behind the panel once it is on screen
    EXPECT_EQ(refresh.requests.last(), QStringLiteral("read windows"));
    refresh.finishNext();
    runtime.runUntilIdle();
    EXPECT_EQ(titles(), (QStringList{"one", "read 1", "Chrome"})); // the windows are still being read
    refresh.finishNext();
    runtime.runUntilIdle();
    EXPECT_EQ(titles(), (QStringList{"one", "read 1", "read 2", "Chrome"}));
}

// Sources fresh and no browser in front: the rows just built stand, and no rebuild takes
// the main thread from a quick Alt release.
TEST_F(PanelShowingTest, AShowingWithNothingToRefreshIsNotRebuilt)
{
    openWindowsTitled({"one", "two"});
    controller->show(1);
    openWindowsTitled({"three"}); // seen only by a rebuild
    runtime.runUntilIdle();
    EXPECT_TRUE(refresh.requests.isEmpty());
    EXPECT_EQ(titles(), (QStringList{"one", "two"}));
}

// A window going while the panel is up is driven end to end; here the recency it leaves.
TEST_F(PanelShowingTest, AChangedWindowListRebuildsTheShownListAndForgetsTheRecencyOfWindowsThatWent)
{
    WindowItem one = fixtures::window("Editor", QStringLiteral("com.example.editor"), "one");
    WindowItem two = fixtures::window("Editor", QStringLiteral("com.example.editor"), "two");
    one.cgWindowID = 1;
    two.cgWindowID = 2;
    openWindows = {one, two};
    MRUStore::shared().touch(SwitchItem(one).mruKey(), 1);
    runtime.clock.advance(1);
    MRUStore::shared().touch(SwitchItem(two).mruKey(), 2);
    showAndSettle();
    ASSERT_EQ(titles(), (QStringList{"two", "one"}));

    refresh.onWindowsRead = [&] { openWindows = {one}; };
    controller->windowListChanged();
    runtime.runUntilIdle();
    EXPECT_EQ(titles(), QStringList{"one"});

    // A new window that got the number of the one that went must not inherit its recency.
    WindowItem three = fixtures::window("Editor", QStringLiteral("com.example.editor"), "three");
    three.cgWindowID = 2;
    refresh.onWindowsRead = [&] { openWindows = {one, three}; };
    controller->windowListChanged();
    runtime.runUntilIdle();
    EXPECT_EQ(titles(), (QStringList{"one", "three"}));
}
