// The panel's showings: frame rule, showing and hiding, keys, Option release, clicks,
// closing and the refreshes after a close.
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
using fixtures::app;
using fixtures::tab;
using fixtures::window;

namespace {

constexpr quint32 option = 0x800, shift = 0x200;
constexpr quint32 keyJ = 38, keyS = 1, keyW = 13, keyX = 7, tabKey = 48, returnKey = 36, escape = 53;

const ScreenInfo mainScreen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};
const ScreenInfo sideScreen{QRectF(1440, 0, 1920, 1200), QRectF(1440, 0, 1920, 1160)};

PanelLayoutSettings layout(PanelDisplay display, PanelEdge edge, PanelWidth width, PanelFontSize font)
{
    return {display, edge, width, font};
}

class PanelShowingTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    FakeScreens screens;
    FakePanelWindowFactory windows;
    FakeInputMonitors monitors;
    CountingFeedback feedback;
    std::vector<WindowItem> openWindows;
    std::vector<TabItem> tabs;
    QStringList lines;
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
        controller->setTestPanelOutput([this](const QString& line) { lines << line; });
    }

    void openWindowsTitled(const QStringList& titles)
    {
        for (const QString& title : titles)
            openWindows.push_back(window(QStringLiteral("Editor"), QStringLiteral("com.example.editor"), title));
    }
    SearchViewModel& model() { return *controller->viewModel(); }
    int selected() { return controller->viewModel()->selectedIndex(); }
    QString selectedTitle() { return model().visibleItem(selected())->title(); }
    FakePanelWindow& panel() { return windows.last(); }
    void selectTitled(const QString& title)
    {
        for (int i = 0; i < model().visibleCount(); ++i)
            if (model().visibleItem(i)->title() == title)
                return model().setSelectedIndex(i);
        FAIL() << "no row " << title.toStdString();
    }
    void showAndSettle()
    {
        controller->show(1);
        panel().finishSlideIn();
        runtime.runUntilIdle();
    }
};

} // namespace

TEST(SwitcherPanelController, FrameFollowsScreenEdgeWidthAndFontSettings)
{
    const struct {
        const char* name;
        std::vector<ScreenInfo> screens;
        std::optional<ScreenInfo> main;
        QPointF pointer;
        PanelLayoutSettings settings;
        int items;
        QRectF final;
        QRectF start;
    } rows[] = {
        {"3 rows, normal font, right edge of the main screen", {mainScreen, sideScreen}, mainScreen, {100, 100},
         layout(PanelDisplay::pointer, PanelEdge::right, PanelWidth::normal, PanelFontSize::normal), 3,
         QRectF(1086, 296.5, 354, 332), QRectF(1128, 296.5, 354, 332)},
        {"pointer on the side screen, left edge, compact", {mainScreen, sideScreen}, mainScreen, {2000, 600},
         layout(PanelDisplay::pointer, PanelEdge::left, PanelWidth::compact, PanelFontSize::normal), 11,
         QRectF(1440, 270, 304, 620), QRectF(1398, 270, 304, 620)},
        {"main display setting ignores the pointer", {mainScreen, sideScreen}, mainScreen, {2000, 600},
         layout(PanelDisplay::main, PanelEdge::right, PanelWidth::wide, PanelFontSize::normal), 3,
         QRectF(1026, 296.5, 414, 332), QRectF(1068, 296.5, 414, 332)},
        {"pointer off every screen falls back to the first", {sideScreen, mainScreen}, mainScreen, {-50, -50},
         layout(PanelDisplay::pointer, PanelEdge::left, PanelWidth::normal, PanelFontSize::normal), 0,
         QRectF(1440, 414, 354, 332), QRectF(1398, 414, 354, 332)},
        {"20 rows at large font reach 717.6 on a tall screen", {sideScreen}, std::nullopt, {1500, 10},
         layout(PanelDisplay::pointer, PanelEdge::right, PanelWidth::normal, PanelFontSize::large), 20,
         QRectF(3006, 221.2, 354, 717.6), QRectF(3048, 221.2, 354, 717.6)},
        {"small font on a short screen is capped at 82 % of it",
         {ScreenInfo{QRectF(0, 0, 800, 500), QRectF(0, 0, 800, 500)}}, std::nullopt, {1, 1},
         layout(PanelDisplay::pointer, PanelEdge::right, PanelWidth::normal, PanelFontSize::small), 11,
         QRectF(446, 45, 354, 410), QRectF(488, 45, 354, 410)},
        {"no screen list uses the main screen", {}, mainScreen, {100, 100},
         layout(PanelDisplay::pointer, PanelEdge::right, PanelWidth::normal, PanelFontSize::normal), 5,
         QRectF(1086, 296.5, 354, 332), QRectF(1128, 296.5, 354, 332)},
    };
    for (const auto& row : rows) {
        const auto placement =
            SwitcherPanelController::panelPlacement(row.screens, row.main, row.pointer, row.settings, row.items);
        ASSERT_TRUE(placement) << row.name;
        EXPECT_NEAR(placement->final.x(), row.final.x(), 1e-9) << row.name;
        EXPECT_NEAR(placement->final.y(), row.final.y(), 1e-9) << row.name;
        EXPECT_NEAR(placement->final.width(), row.final.width(), 1e-9) << row.name;
        EXPECT_NEAR(placement->final.height(), row.final.height(), 1e-9) << row.name;
        EXPECT_NEAR(placement->start.x(), row.start.x(), 1e-9) << row.name;
        EXPECT_NEAR(placement->start.y(), row.start.y(), 1e-9) << row.name;
    }
    EXPECT_FALSE(SwitcherPanelController::panelPlacement({}, std::nullopt, {0, 0}, PanelLayoutSettings{}, 3));
}

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
    EXPECT_TRUE(windows.made.empty());
}

TEST_F(PanelShowingTest, SecondRowIsHighlightedAndEachForwardMovesDownWrappingToTheTop)
{
    openWindowsTitled({"one", "two", "three"});
    controller->forward();
    ASSERT_TRUE(controller->isShown());
    EXPECT_EQ(selected(), 1);

    controller->forward();
    EXPECT_EQ(selected(), 2);
    controller->forward();
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(model().keyboardClaimed());
    controller->advance(-1);
    EXPECT_EQ(selected(), 2);
}

TEST_F(PanelShowingTest, OneRowStaysHighlightedAndAnEmptyListShowsAtFiveRowHeight)
{
    openWindowsTitled({"only"});
    controller->show(1);
    EXPECT_EQ(selected(), 0);
    controller->hide();

    openWindows.clear();
    controller->show(1);
    ASSERT_TRUE(controller->isShown());
    EXPECT_EQ(windows.made.back().size, QSizeF(354, 332));
    controller->advance(1);
    EXPECT_EQ(selected(), 0);
}

TEST_F(PanelShowingTest, InitialOffsetWrapsOverVisibleRowsNotOverHiddenTabRows)
{
    // One browser with one tab: the group row is visible, the tab row is search-only.
    tabs = {tab(QStringLiteral("com.google.Chrome"), QStringLiteral("Docs"), QStringLiteral("https://docs.example"))};
    controller->show(1);

    ASSERT_EQ(model().items().size(), 2u);
    EXPECT_EQ(model().visibleCount(), 1);
    EXPECT_EQ(selected(), 0);
}

TEST_F(PanelShowingTest, KeyFlagsAndMouseMonitorsAtOnceClickMonitorsAfterTheSlideIn)
{
    openWindowsTitled({"one", "two"});
    controller->show(1);
    EXPECT_EQ(monitors.installed(), (QStringList{"key", "localFlags", "globalFlags", "mouseMoved"}));

    panel().finishSlideIn();
    EXPECT_EQ(monitors.installed(),
              (QStringList{"key", "localFlags", "globalFlags", "mouseMoved", "localClick", "globalClick"}));

    controller->hide();
    EXPECT_TRUE(monitors.installed().isEmpty());
    EXPECT_EQ(controller->viewModel(), nullptr);
    EXPECT_TRUE(panel().slidOut);
}

TEST_F(PanelShowingTest, APanelHiddenDuringItsSlideInNeverGetsClickMonitors)
{
    openWindowsTitled({"one", "two"});
    controller->show(1);
    FakePanelWindow& first = panel();
    controller->hide();
    first.finishSlideIn();
    EXPECT_TRUE(monitors.installed().isEmpty());
}

TEST_F(PanelShowingTest, ReleasingOptionOpensTheHighlightedRowAndHidesShortlyAfter)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();
    monitors.pressKey(tabKey, option);
    monitors.pressKey(tabKey, option);
    monitors.pressKey(tabKey, option | shift);
    monitors.releaseOption();

    EXPECT_EQ(runtime.actions.log, (QStringList{"activateWindow three"}));
    EXPECT_TRUE(controller->isShown());
    runtime.advance(0.08);
    EXPECT_FALSE(controller->isShown());
    EXPECT_GT(MRUStore::shared().score(windowMRUKey(QStringLiteral("com.example.editor"), "Editor", "three"),
                                       std::nullopt),
              distantPast());
}

TEST_F(PanelShowingTest, EscapeHidesAndTheLaterReleaseOpensNothing)
{
    openWindowsTitled({"one", "two"});
    showAndSettle();
    EXPECT_TRUE(monitors.pressKey(escape, option));
    EXPECT_FALSE(controller->isShown());
    monitors.releaseOption();
    runtime.advance(1.0);
    EXPECT_TRUE(runtime.actions.log.isEmpty());
}

TEST_F(PanelShowingTest, ReturnStartsSearchSoTheReleaseKeepsThePanelAndTheNextReturnOpens)
{
    openWindowsTitled({"one", "two"});
    showAndSettle();
    monitors.pressKey(returnKey, option);
    EXPECT_TRUE(model().searchActive());
    monitors.releaseOption(true); // seen by the global monitor, handled on the main queue
    runtime.runUntilIdle();
    EXPECT_TRUE(controller->isShown());
    EXPECT_TRUE(runtime.actions.log.isEmpty());

    monitors.pressKey(returnKey);
    EXPECT_EQ(runtime.actions.log, (QStringList{"activateWindow two"}));
}

TEST_F(PanelShowingTest, ClicksNearThePanelKeepItFartherAwayHideIt)
{
    openWindowsTitled({"one", "two"});
    showAndSettle();
    const QRectF frame = panel().frame();

    monitors.clickGlobal({frame.left() - 5, frame.center().y()});
    runtime.runUntilIdle();
    EXPECT_TRUE(controller->isShown());

    monitors.clickLocal(frame.center(), true);
    EXPECT_TRUE(model().engaged());

    monitors.clickGlobal({frame.left() - 10, frame.center().y()});
    runtime.runUntilIdle();
    EXPECT_FALSE(controller->isShown());
}

TEST_F(PanelShowingTest, ChangedShortcutsApplyDuringTheShowing)
{
    openWindowsTitled({"one", "two", "three"});
    showAndSettle();
    const int installs = monitors.keyMonitorInstalls;

    ShortcutStore::set(HotkeyConfig{keyJ, option}, ShortcutAction::moveDown);
    EXPECT_EQ(monitors.keyMonitorInstalls, installs + 1);
    EXPECT_TRUE(monitors.pressKey(keyJ, option));
    EXPECT_EQ(selected(), 2);
    EXPECT_FALSE(monitors.pressKey(keyS, option)); // the old chord now reaches the view

    controller->hide();
    ShortcutStore::resetAll();
    EXPECT_EQ(monitors.keyMonitorInstalls, installs + 1);
}

TEST_F(PanelShowingTest, ListIsRebuiltInPlaceWhenTheBackgroundRefreshesFinish)
{
    openWindowsTitled({"one", "two"});
    controller->show(1);
    SearchViewModel* shown = controller->viewModel();
    openWindowsTitled({"three"});
    runtime.runUntilIdle();

    EXPECT_EQ(controller->viewModel(), shown);
    EXPECT_EQ(model().items().size(), 3u);
}

TEST_F(PanelShowingTest, ClosingAnAppRowQuitsItAndKeepsItOutForEightSeconds)
{
    runtime.actions.capabilities[QStringLiteral("com.example.editor")] = CloseCapability::quit();
    openWindowsTitled({"one"});
    runtime.desktop().launch(QStringLiteral("com.example.player"), QStringLiteral("Player"), ActivationPolicy::regular,
                             QStringLiteral("/Applications/Player.app"));
    runtime.actions.capabilities[QStringLiteral("com.example.player")] = CloseCapability::quit();
    runtime.actions.runningUserApps.insert(QStringLiteral("com.example.player"));
    showAndSettle();
    selectTitled(QStringLiteral("Player"));

    EXPECT_TRUE(monitors.pressKey(keyX, option));
    EXPECT_EQ(runtime.actions.log, (QStringList{"quit com.example.player"}));
    runtime.actions.runningUserApps.clear();
    EXPECT_TRUE(controller->suppressCommitOnOptionRelease());
    EXPECT_EQ(model().closeState(*model().visibleItem(selected())), RowCloseState::closing);

    // The workspace still reports the player, but it no longer runs as a user app; each
    // pass notes it again, the last at 2.5 s.
    runtime.advance(0.35);
    EXPECT_EQ(model().items().size(), 1u);
    runtime.advance(10.4 - 0.35);
    EXPECT_EQ(model().items().size(), 1u);
    EXPECT_TRUE(controller->isRecentlyClosedApp(QStringLiteral("com.example.player")));
    runtime.advance(0.2);
    EXPECT_FALSE(controller->isRecentlyClosedApp(QStringLiteral("com.example.player")));

    monitors.releaseOption();
    EXPECT_FALSE(controller->isShown());
    EXPECT_EQ(runtime.actions.log, (QStringList{"quit com.example.player"}));
}

TEST_F(PanelShowingTest, ClosePropagationRebuildsAtEachPassUntilThePanelHides)
{
    runtime.desktop().launch(QStringLiteral("com.example.player"), QStringLiteral("Player"), ActivationPolicy::regular,
                             QStringLiteral("/Applications/Player.app"));
    runtime.actions.capabilities[QStringLiteral("com.example.player")] = CloseCapability::quit();
    runtime.actions.runningUserApps.insert(QStringLiteral("com.example.player")); // it refuses to quit
    openWindowsTitled({"one"});
    showAndSettle();
    int rebuilds = 0;
    QObject::connect(controller->viewModel(), &SearchViewModel::itemsChanged, [&] { ++rebuilds; });

    monitors.pressKey(keyX, option);
    runtime.advance(0.35);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(model().items().size(), 2u);
    runtime.advance(1.5 - 0.35);
    EXPECT_EQ(rebuilds, 2);
    controller->hide();
    runtime.advance(1.0);
    EXPECT_EQ(rebuilds, 2);
    EXPECT_FALSE(controller->isRecentlyClosedApp(QStringLiteral("com.example.player")));
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

TEST_F(PanelShowingTest, TestPanelClampsItsHighlightAndWritesChoicesInsteadOfActing)
{
    std::vector<SwitchItem> items;
    items.emplace_back(app(QStringLiteral("com.example.a"), QStringLiteral("Alpha"), QStringLiteral("/Applications/A.app")));
    items.emplace_back(app(QStringLiteral("com.example.b"), QStringLiteral("Beta"), QStringLiteral("/Applications/B.app")));
    items.emplace_back(tab(QStringLiteral("com.google.Chrome"), QStringLiteral("Hidden tab"), QStringLiteral("https://x.example")));
    runtime.actions.capabilities[QStringLiteral("com.example.b")] = CloseCapability::quit();
    controller->showTestPanel(items, 99);
    panel().finishSlideIn();

    EXPECT_EQ(selected(), 1);
    EXPECT_TRUE(model().engaged());
    monitors.pressKey(keyX, option);
    monitors.pressKey(keyW, option);
    monitors.pressKey(keyX, option); // Alpha cannot be closed
    monitors.pressKey(returnKey);
    monitors.pressKey(returnKey);

    EXPECT_EQ(lines, (QStringList{"Ostrevane test panel close: Beta", "Ostrevane test panel selected: Alpha"}));
    EXPECT_TRUE(runtime.actions.log.isEmpty());
    monitors.releaseOption(); // engaged: the test panel stays for more keys
    EXPECT_TRUE(controller->isShown());
    monitors.pressKey(escape);
    EXPECT_FALSE(controller->isShown());

    controller->showTestPanel(items, -3);
    EXPECT_EQ(selected(), 0);
    monitors.releaseOption(); // before any move the suppressed commit hides it
    EXPECT_FALSE(controller->isShown());
}

TEST_F(PanelShowingTest, WithoutAScreenTheListIsKeptButNothingIsShown)
{
    screens.list.clear();
    openWindowsTitled({"one", "two"});
    controller->show(1);
    EXPECT_FALSE(controller->isShown());
    EXPECT_NE(controller->viewModel(), nullptr);
    controller->hide();
    EXPECT_EQ(controller->viewModel(), nullptr);
}
