#include "PanelTestKit.h"

#include "core/OnboardingManager.h"
#include "core/ShortcutStore.h"
#include "ui/OnboardingPanelOverlay.h"
#include "ui/PanelWaveShape.h"
#include "ui/SearchField.h"
#include "platform/sim/SimAccessibility.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::panelkit;
using SearchViewContent::EmptyState;
using SearchViewContent::FooterHint;
using SearchViewContent::ListKind;

void PrintTo(const FooterHint& hint, std::ostream* out)
{
    *out << '(' << hint.keys.toStdString() << ' ' << hint.label.toStdString() << ')';
}

namespace {

AppItem runningApp(PanelFixture& f, const QString& bundleID, const QString& name, CloseCapability capability)
{
    f.runtime.actions.runningUserApps.insert(bundleID);
    f.runtime.actions.capabilities.insert(bundleID, capability);
    return fixtures::app(bundleID, name, QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
}

TabGroupItem chromeGroup(int tabs, int active = 1)
{
    std::vector<TabItem> list;
    for (int i = 1; i <= tabs; ++i)
        list.push_back(fixtures::tab(QStringLiteral("com.google.Chrome"), QStringLiteral("Tab %1").arg(i),
                                     QStringLiteral("https://example.com/%1").arg(i), 1, i, i == active));
    return fixtures::tabGroup(QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome"), list);
}

} // namespace

TEST(SearchView, HoverHighlightsARowUnlessTheKeyboardClaimedItAndTheMouseHasNotMovedSince)
{
    PanelFixture f;
    SearchView& view = f.show(windows(6));
    const QPointF onRow2 = view.rowRect(2).center();
    f.hover(onRow2);
    EXPECT_EQ(f.viewModel->selectedIndex(), 2);
    f.viewModel->moveSelection(2); // Tab twice: the keyboard claims the highlight
    f.hover(onRow2);
    EXPECT_EQ(f.viewModel->selectedIndex(), 4);
    f.viewModel->mouseMoved(); // what the mouse-moved monitor does
    f.hover(onRow2 + QPointF(3, 1));
    EXPECT_EQ(f.viewModel->selectedIndex(), 2);
}

TEST(SearchView, CloseButtonsShowOnClosableRowsWithACloseCallbackCloseInsteadOfSelectingAndShowTheMark)
{
    PanelFixture f;
    WindowItem closable = window(QStringLiteral("Editor"), QStringLiteral("Closable"));
    closable.axWindow = SimAccessibility::makeElement(closable.title);
    f.runtime.accessibility.setAttribute(closable.axWindow, AX::closeButton,
                                         AXElement(SimAccessibility::makeElement(QStringLiteral("close"))));
    std::vector<SwitchItem> items{
        SwitchItem(closable),
        SwitchItem(window(QStringLiteral("Viewer"), QStringLiteral("No close button"))),
        SwitchItem(runningApp(f, QStringLiteral("com.example.quits"), QStringLiteral("Quits"), CloseCapability::quit())),
        SwitchItem(runningApp(f, QStringLiteral("com.example.guarded"), QStringLiteral("Guarded"),
                              CloseCapability::blocked(QStringLiteral("Protected app")))),
    };
    SearchView& view = f.show(items);
    std::vector<bool> shown;
    for (const auto& row : view.rows())
        shown.push_back(row.showsClose);
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false}));

    f.click(view.rowRect(1).center());
    f.click(view.closeButtonRect(2).center());
    EXPECT_EQ(f.viewModel->selectedIndex(), 2);
    ASSERT_EQ(f.selected.size(), 1u);
    EXPECT_EQ(f.selected.front().title(), QStringLiteral("No close button"));
    ASSERT_EQ(f.closed.size(), 1u);
    EXPECT_EQ(f.closed.front().title(), QStringLiteral("Quits"));
    f.viewModel->markClosing(view.rows()[2].item); // what closing it does; the mark shows for 2.8 s
    EXPECT_EQ(view.rows()[2].closeState, RowCloseState::closing);
    f.runtime.advance(2.8);
    EXPECT_EQ(view.rows()[2].closeState, RowCloseState::none);

    SearchView& withoutCallback = f.show(items, PanelEdge::right, QSize(354, 620), false);
    EXPECT_FALSE(withoutCallback.rows().front().showsClose);
    EXPECT_TRUE(withoutCallback.closeButtonRect(0).isEmpty());
}

TEST(SearchView, GroupRowsShowTheirCountTheFooterOffersEnteringAndTheBadgeOpensTheGroup)
{
    PanelFixture f;
    std::vector<SwitchItem> items = windows(1);
    items.emplace_back(chromeGroup(3));
    SearchView& view = f.show(items);
    EXPECT_EQ(view.rows()[0].badgeCount, std::nullopt);
    EXPECT_EQ(view.rows()[1].badgeCount, std::optional<int>(3));
    EXPECT_EQ(view.footerHints().front(), (FooterHint{"↩", "Search"}));
    ShortcutStore::set(HotkeyConfig{3, CarbonModifier::control}, ShortcutAction::search); // the footer follows
    f.viewModel->setSelectedIndex(1);
    EXPECT_EQ(view.footerHints(), (std::vector<FooterHint>{{"⌃F", "Search"}, {"⌥W/⌥S", "Move"}, {"⌥D", "In"},
                                                           {"⌥Q", "Desk"}, {"⎋", "Close"}}));
    f.click(view.badgeRect(1).center());
    ASSERT_TRUE(f.viewModel->activeTabGroup());
    EXPECT_FALSE(f.viewModel->engaged());
    EXPECT_EQ(view.listKind(), ListKind::tabs);
    EXPECT_EQ(view.rows().size(), 3u);
    EXPECT_TRUE(f.selected.empty());
    EXPECT_EQ(view.searchField()->placeholderText(), QStringLiteral("Search tabs in Google Chrome"));

    const std::vector<WindowItem> finderWindows{window("Finder", "Documents"), window("Finder", "Downloads")};
    SearchView& finder = f.show({SwitchItem(fixtures::windowGroup("com.apple.finder", "Finder", finderWindows))});
    f.click(finder.badgeRect(0).center());
    EXPECT_EQ(finder.listKind(), ListKind::windows);
    EXPECT_EQ(finder.rows().size(), 2u);
}

TEST(SearchView, ShowsTheEmptyStateAndTheTabPermissionBannerOfItsModel)
{
    PanelFixture f;
    f.runningBrowsers = {QStringLiteral("Google Chrome")};
    SearchView& view = f.show(windows(3));
    EXPECT_EQ(view.emptyState(), EmptyState::none);
    EXPECT_TRUE(view.showsTabPermissionWarning()); // a browser runs, but no tab has an address
    f.viewModel->setQuery(QStringLiteral("zzzz"));
    EXPECT_EQ(view.emptyState(), EmptyState::noMatches);

    f.runtime.accessibility.setTrusted(false);
    SearchView& empty = f.show({});
    EXPECT_EQ(empty.emptyState(), EmptyState::noItemsWithoutAccessibility);
    EXPECT_FALSE(empty.showsTabPermissionWarning());
}

TEST(SearchView, SearchShowsAFieldFocusedOnTheNextTurnAndALetterTypedBeforeStartsIt)
{
    PanelFixture f;
    SearchView& view = f.show(windows(12));
    ASSERT_TRUE(view.isActiveWindow());
    EXPECT_FALSE(view.searchField()->isVisible());
    f.viewModel->setSearchActive(true);
    EXPECT_TRUE(view.floatingActive());
    EXPECT_TRUE(view.searchField()->isVisible());
    EXPECT_FALSE(view.searchField()->hasFocus());
    f.runtime.runUntilIdle();
    EXPECT_TRUE(view.searchField()->hasFocus());
    f.viewModel->setSearchActive(false);
    EXPECT_FALSE(view.searchField()->hasFocus());

    QTest::keyClick(&view, Qt::Key_1);
    EXPECT_EQ(f.viewModel->query(), QStringLiteral("1"));
    EXPECT_TRUE(view.searchField()->isVisible());
    f.runtime.runUntilIdle();
    QTest::keyClicks(view.searchField(), QStringLiteral("1"));
    EXPECT_EQ(f.viewModel->query(), QStringLiteral("11"));
    EXPECT_EQ(view.rows().size(), 1u);
    f.viewModel->setQuery(QStringLiteral("Window 3"));
    EXPECT_EQ(view.searchField()->text(), QStringLiteral("Window 3"));
}

TEST(SearchView, WavePointsAtTheHighlightedRowAndStaysClearOfTheTop)
{
    PanelFixture f;
    SearchView& view = f.show(windows(6));
    f.viewModel->setSelectedIndex(0);
    view.finishAnimations();
    EXPECT_DOUBLE_EQ(view.waveCenterTarget(), view.rowRect(0).center().y());
    EXPECT_DOUBLE_EQ(view.waveCenterTarget(), 87);
    f.viewModel->setSelectedIndex(4);
    view.finishAnimations();
    EXPECT_DOUBLE_EQ(view.waveCenterTarget(), 287);
    EXPECT_TRUE(view.waveShape().contains(QPointF(4, 287))); // right panel: the bump reaches left
    EXPECT_FALSE(view.waveShape().contains(QPointF(4, 150)));
}

TEST(SearchView, KeyboardMovesScrollLongListsButHoveringDoesNot)
{
    PanelFixture f;
    SearchView& view = f.show(windows(20), PanelEdge::left, QSize(354, 400));
    f.hover(view.rowRect(5).center());
    EXPECT_EQ(f.viewModel->selectedIndex(), 5);
    EXPECT_DOUBLE_EQ(view.scrollOffset(), 0);
    f.viewModel->moveSelection(10); // to 15, far below the visible rows
    EXPECT_GT(view.scrollOffset(), 0);
    EXPECT_GE(view.rowRect(15).top(), 57);
    EXPECT_LE(view.rowRect(15).bottom(), 400 - 24);
    f.viewModel->moveSelection(-15); // to the first row: its top at the top of the list
    EXPECT_DOUBLE_EQ(view.scrollOffset(), 6);
}

TEST(SearchView, OpeningAGroupShowsItsActiveTabEvenFarDownTheList)
{
    PanelFixture f;
    SearchView& view = f.show({SwitchItem(chromeGroup(20, 16))}, PanelEdge::right, QSize(354, 500));
    f.click(view.badgeRect(0).center());
    ASSERT_EQ(f.viewModel->selectedIndex(), 15);
    EXPECT_GE(view.rowRect(15).top(), 150);
    EXPECT_LE(view.rowRect(15).bottom(), 500 - 24);
}

TEST(SearchView, TakesTheFontSizeSettingAndKeepsDrawingItsLastStateAfterTheModelIsGone)
{
    PanelFixture f;
    PanelSettings::setFontSize(PanelFontSize::large);
    SearchView& view = f.show(windows(3));
    EXPECT_DOUBLE_EQ(view.fontScale(), 1.16);
    f.viewModel.reset();
    EXPECT_EQ(view.rows().size(), 3u);
    EXPECT_FALSE(view.grab().isNull());
}

TEST(SearchView, GuideStripShowsDuringThePanelStagesAndAdvances)
{
    PanelFixture f;
    OnboardingManager& onboarding = OnboardingManager::shared();
    onboarding.setStage(OnboardingStage::panelBasics);
    SearchView& view = f.show(windows(2));
    ASSERT_TRUE(view.onboardingOverlay()->isVisible());
    EXPECT_EQ(view.onboardingOverlay()->content()->title, QStringLiteral("This is the switcher"));
    QTest::mouseClick(view.onboardingOverlay()->primaryButton(), Qt::LeftButton);
    EXPECT_EQ(onboarding.stage(), OnboardingStage::movement);
    EXPECT_EQ(view.onboardingOverlay()->content()->title, QStringLiteral("Move through the list"));
    QTest::mouseClick(view.onboardingOverlay()->skipButton(), Qt::LeftButton);
    EXPECT_EQ(onboarding.stage(), OnboardingStage::complete);
    EXPECT_FALSE(view.onboardingOverlay()->isVisible());
}
