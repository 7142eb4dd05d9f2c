// The panel's showings: showing and hiding, keys, Option release, clicks and the guide.
#include "core/SwitcherPanelController.h"

#include "core/MRUStore.h"
#include "core/NotificationCenter.h"
#include "core/OnboardingManager.h"
#include "core/PlatformProfile.h"
#include "core/SearchViewModel.h"
#include "core/ShortcutStore.h"
#include "support/FakePanelPorts.h"
#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 option = 0x800, shift = 0x200;
constexpr quint32 keyJ = 38, keyS = 1, tabKey = 48;

const ScreenInfo mainScreen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};

class PanelShowingTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    FakeScreens screens;
    FakePanelWindowFactory windows;
    FakeInputMonitors monitors;
    CountingFeedback feedback;
    std::vector<WindowItem> openWindows;
    std::vector<TabItem> tabs;
    std::unique_ptr<SwitcherPanelController> controller;

    PanelShowingTest()
    {
        screens.list = {mainScreen};
        screens.pointer = {100, 100};
        controller = std::make_unique<SwitcherPanelController>(
            SwitcherPanelController::Sources{[this] { return openWindows; }, [this] { return tabs; },
                                             [] { return std::vector<AppItem>{}; }, MRUStore::shared(),
                                             runtime.desktop().workspace, runtime.clock, PlatformProfile::macOS()},
            SwitcherPanelController::PanelPorts{screens, windows, monitors, feedback});
    }

    void openWindowsTitled(const QStringList& titles)
    {
        for (const QString& title : titles)
            openWindows.push_back(fixtures::window("Editor", QStringLiteral("com.example.editor"), title));
    }
    SearchViewModel& model() { return *controller->viewModel(); }
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

TEST_F(PanelShowingTest, InitialHighlightWrapsOverVisibleRowsAndAnEmptyListShowsWhenThereIsAScreen)
{
    // One browser with one tab: the group row is visible, the tab row is search-only.
    tabs = {fixtures::tab("com.google.Chrome", "Docs", "https://docs.example")};
    controller->show(1);
    EXPECT_EQ(model().items().size(), 2u);
    EXPECT_EQ(selected(), 0);
    controller->hide();

    tabs.clear();
    controller->show(1);
    ASSERT_TRUE(controller->isShown());
    controller->hide();

    screens.list.clear(); // without a screen the list is kept but nothing is shown
    controller->show(1);
    EXPECT_FALSE(controller->isShown());
    EXPECT_NE(controller->viewModel(), nullptr);
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
    controller->hide();
    EXPECT_EQ(monitors.installed(), QStringList{});
}

TEST_F(PanelShowingTest, ReleasingOptionOpensTheHighlightedRowOnceAndHidesShortlyAfter)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();
    monitors.pressKey(tabKey, option);
    monitors.pressKey(tabKey, option);
    monitors.pressKey(tabKey, option | shift);
    EXPECT_FALSE(panel().keyboardYielded);
    monitors.releaseOption();
    monitors.releaseOption(true); // the desktop-wide monitor saw the same release
    EXPECT_EQ(runtime.actions.log, (QStringList{"activateWindow three"}));
    EXPECT_TRUE(controller->isShown());
    EXPECT_TRUE(panel().keyboardYielded); // the next Alt+Tab must reach the hotkey
    runtime.advance(0.08);
    EXPECT_FALSE(controller->isShown());
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

TEST_F(PanelShowingTest, ChangedShortcutsApplyDuringTheShowingOnly)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();

    ShortcutStore::set(HotkeyConfig{keyJ, option}, ShortcutAction::moveDown);
    EXPECT_TRUE(monitors.pressKey(keyJ, option));
    EXPECT_EQ(selected(), 2);
    EXPECT_FALSE(monitors.pressKey(keyS, option)); // the old chord now reaches the view

    controller->hide();
    ShortcutStore::resetAll();
    EXPECT_EQ(monitors.installed(), QStringList{});
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
