#include "PanelTestKit.h"

#include "ui/SearchField.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::panelkit;
using SearchViewContent::ListKind;

namespace {

AppItem runningApp(PanelFixture& f, const QString& bundleID, const QString& name, CloseCapability capability)
{
    f.runtime.actions.runningUserApps.insert(bundleID);
    f.runtime.actions.capabilities.insert(bundleID, capability);
    return fixtures::app(bundleID, name, QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
}

TabGroupItem chromeGroup(int tabs, int active)
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

TEST(SearchView, TheBadgeOpensAGroupScrolledToItsActiveTabFarDownTheListAndHoveringThereNeverScrolls)
{
    PanelFixture f;
    std::vector<SwitchItem> items = windows(1);
    items.emplace_back(chromeGroup(20, 16));
    SearchView& view = f.show(items, PanelEdge::right, QSize(354, 500));
    EXPECT_EQ(view.rows()[0].badgeCount, std::nullopt);
    EXPECT_EQ(view.rows()[1].badgeCount, std::optional<int>(20));
    f.click(view.badgeRect(1).center());
    EXPECT_EQ(view.listKind(), ListKind::tabs);
    EXPECT_TRUE(f.selected.empty());
    ASSERT_EQ(f.viewModel->selectedIndex(), 15);
    EXPECT_GE(view.rowRect(15).top(), 150);
    EXPECT_LE(view.rowRect(15).bottom(), 500 - 24);

    const double scrolled = view.scrollOffset();
    f.hover(view.rowRect(13).center()); // a keyboard move this far would scroll; hovering never does
    EXPECT_EQ(f.viewModel->selectedIndex(), 13);
    EXPECT_DOUBLE_EQ(view.scrollOffset(), scrolled);
}

TEST(SearchView, SearchFieldTakesFocusOnTheNextTurnAndALetterTypedBeforeStartsTheSearch)
{
    PanelFixture f;
    SearchView& view = f.show(windows(12));
    ASSERT_TRUE(view.isActiveWindow());
    f.viewModel->setSearchActive(true);
    EXPECT_TRUE(view.searchField()->isVisible());
    EXPECT_FALSE(view.searchField()->hasFocus());
    f.runtime.runUntilIdle();
    EXPECT_TRUE(view.searchField()->hasFocus());
    f.viewModel->setSearchActive(false);
    EXPECT_FALSE(view.searchField()->hasFocus());

    QTest::keyClick(&view, Qt::Key_1);
    EXPECT_EQ(f.viewModel->query(), QStringLiteral("1"));
    f.runtime.runUntilIdle();
    QTest::keyClicks(view.searchField(), QStringLiteral("1"));
    EXPECT_EQ(f.viewModel->query(), QStringLiteral("11"));
    EXPECT_EQ(view.rows().size(), 1u);
}

// One view serves every showing: the next model starts at the top, with nothing hovered or
// typed, and the last showing's model no longer reaches the view.
TEST(SearchView, PresentingTheNextShowingStartsAfreshAndLetsGoOfTheLastModel)
{
    PanelFixture f;
    SearchView& view = f.show(windows(30));
    f.viewModel->setQuery(QStringLiteral("Window"));
    f.viewModel->moveSelection(25);
    ASSERT_GT(view.scrollOffset(), 0);
    f.hover(view.rowRect(view.rows().size() - 1).center());

    SearchViewModel next(windows(2), false, f.runtime.actions, f.runtime.dispatcher());
    view.present(next, PanelEdge::left);
    EXPECT_EQ(view.rows().size(), 2u);
    EXPECT_EQ(view.edge(), PanelEdge::left);
    EXPECT_EQ(view.scrollOffset(), 0);
    EXPECT_FALSE(view.floatingActive());
    EXPECT_TRUE(view.searchField()->text().isEmpty());
    EXPECT_EQ(view.waveCenterTarget(), view.rowRect(0).center().y());

    f.viewModel->updateItems(windows(12));
    f.viewModel.reset();
    EXPECT_EQ(view.rows().size(), 2u);
    next.setSelectedIndex(1);
    EXPECT_EQ(view.waveCenterTarget(), view.rowRect(1).center().y());
}

// Whether a row can be closed is asked of the desktop only once the row comes into view
// (a list of hundreds of windows asks for the dozen it shows). A close button closes
// instead of selecting, and shows only where the showing can close.
TEST(SearchView, OnlyRowsInViewAskWhetherTheyCanBeClosedAndTheCloseButtonClosesInsteadOfSelecting)
{
    PanelFixture f;
    std::vector<SwitchItem> items{SwitchItem(runningApp(f, QStringLiteral("com.example.guarded"), QStringLiteral("Guarded"),
                                                        CloseCapability::blocked(QStringLiteral("Protected app"))))};
    for (int i = 1; i < 30; ++i)
        items.emplace_back(runningApp(f, QStringLiteral("com.example.app%1").arg(i), QStringLiteral("App %1").arg(i),
                                      CloseCapability::quit()));
    SearchView& view = f.show(items);
    EXPECT_FALSE(view.rows()[0].showsClose);
    EXPECT_TRUE(view.rows()[1].showsClose);
    EXPECT_FALSE(view.rows().back().closeKnown);
    f.click(view.rowRect(0).center());
    f.viewModel->moveSelection(29);
    EXPECT_TRUE(view.rows().back().showsClose);
    f.click(view.closeButtonRect(29).center());
    ASSERT_EQ(f.selected.size(), 1u);
    EXPECT_EQ(f.selected.front().title(), QStringLiteral("Guarded"));
    ASSERT_EQ(f.closed.size(), 1u);
    EXPECT_EQ(f.closed.front().title(), QStringLiteral("App 29"));

    SearchView& withoutCallback = f.show(items, PanelEdge::right, QSize(354, 620), false);
    EXPECT_TRUE(withoutCallback.closeButtonRect(1).isEmpty());
}
