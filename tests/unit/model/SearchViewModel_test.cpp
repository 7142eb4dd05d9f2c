#include "core/model/SearchViewModel.h"

#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

WindowItem window(const QString& appName, const QString& title)
{
    return fixtures::window(appName, "com.example." + appName.toLower(), title);
}

TabItem tab(const QString& title, const QString& url, bool active = false)
{
    return fixtures::tab("com.google.Chrome", title, url, 1, 1, active);
}

AppItem app(const QString& bundleID, const QString& name)
{
    return fixtures::app(bundleID, name, "/Applications/" + name + ".app");
}

TabGroupItem tabGroup(std::vector<TabItem> tabs) { return fixtures::tabGroup("com.google.Chrome", "Google Chrome", tabs); }

WindowGroupItem finderGroup(std::vector<WindowItem> windows)
{
    return fixtures::windowGroup("com.example.finder", "Finder", windows);
}

// Titles as the rows show them (an untitled window shows its app's name).
template <class Row>
QStringList titles(const std::vector<Row>& rows)
{
    QStringList out;
    for (const Row& row : rows)
        out << SwitchItem(row).title();
    return out;
}

} // namespace

TEST(FuzzyScore, ScoresFollowTheMatchArithmetic)
{
    const struct {
        QString query, text;
        std::optional<int> expected;
    } rows[] = {
        {"fn", "field notes", 41},
        {"b", "a-b", 20}, // after a boundary
        {"b", "a1b", 8},  // digits are not boundaries
        {"nf", "field notes", std::nullopt}, // order matters
    };
    for (const auto& row : rows)
        EXPECT_EQ(fuzzyScore(row.query, row.text), row.expected) << row.query.toStdString() << " in " << row.text.toStdString();

    // Field weights scale the raw score, truncating toward zero; the best field counts.
    EXPECT_EQ(weightedScore(0.6, -89), -53);
    EXPECT_EQ(itemScore("no", {{"field notes", 1.0}, {"notes", 0.6}}), 31); // 0.6 × 43 = 25 loses
}

// The rows cover both ways a text is read: the quick one for characters that stand alone
// and the grapheme one for everything else, including the characters kept off the quick one.
TEST(FuzzyScore, LowerCasesFullyAndComparesWholeCharactersCanonically)
{
    const struct {
        QString query, text;
        bool matches;
    } rows[] = {
        {u"É"_qs, u"e\u0301cole"_qs, true},
        {u"e"_qs, u"e\u0301"_qs, false}, // a mark belongs to its letter
        {u"i"_qs, u"İ"_qs, false}, // İ lower-cases to i + combining dot
        {u"👩"_qs, u"👩‍💻"_qs, false}, // an emoji sequence is one character
    };
    for (const auto& row : rows)
        EXPECT_EQ(fuzzyScore(row.query, row.text).has_value(), row.matches)
            << row.query.toStdString() << " in " << row.text.toStdString();
}

TEST(SearchViewModel, SearchRanksByScoreThenByListOrder)
{
    TestRuntime runtime;
    SearchViewModel model({app("com.fn", "field notes"), window("Notes", "field notes"), window("Fx", "fn"),
                           window("Other", "fn")},
                          false);
    model.setQuery("fn");
    // "fn" titles score 10+12+6+18 = 46 and tie in list order; the app scores 95 % of 41.
    EXPECT_EQ(titles(model.filtered()), (QStringList{"fn", "fn", "field notes", "field notes"}));
    EXPECT_EQ(model.filtered()[0].as<WindowItem>()->appName, "Fx");
}

TEST(SearchViewModel, EmptyQueryHidesTabsGroupedWindowsAndAppsNotRunning)
{
    TestRuntime runtime;
    runtime.actions.runningUserApps = {"com.running"};
    const WindowItem finderWindow = window("Finder", "Documents");
    const std::vector<SwitchItem> items = {window("Shell", "zsh"), finderWindow, tab("Docs", "https://docs.example"),
                                           finderGroup({finderWindow}), app("com.running", "Mail"),
                                           app("com.idle", "Maps")};
    EXPECT_EQ(titles(SearchViewModel(items, false).filtered()), (QStringList{"zsh", "Finder", "Mail"}));
    EXPECT_EQ(runtime.actions.runningReads, 1); // once for the list, not once per app row
    EXPECT_EQ(titles(SearchViewModel(items, true).filtered()), (QStringList{"zsh", "Finder", "Mail", "Maps"}));
}

// Single steps across the ends are checked on the real panel.
TEST(SearchViewModel, LongHighlightMovesWrapAndEachQueryResetsIt)
{
    TestRuntime runtime;
    SearchViewModel model({window("A", "a"), window("B", "b"), window("C", "c")}, false);
    model.setSelectedIndex(1);
    model.moveSelection(-5);
    EXPECT_EQ(model.selectedIndex(), 2);
    // Any query, even an empty one, puts the highlight back on top; only a typed one engages.
    model.setQuery("");
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_FALSE(model.engaged());
    model.setQuery("a");
    model.setQuery("");
    EXPECT_TRUE(model.engaged());
    // The first highlight of a showing wraps too, but only with two rows or more.
    for (const auto& [offset, expected] : {std::pair{4, 1}, {-1, 2}}) {
        model.applyInitialOffset(offset);
        EXPECT_EQ(model.selectedIndex(), expected) << "offset " << offset;
    }
    SearchViewModel empty({}, false);
    empty.moveSelection(1);
    EXPECT_EQ(empty.selectedIndex(), 0);
    EXPECT_EQ(empty.selectedItem(), std::nullopt);
}

TEST(SearchViewModel, OpeningAGroupHighlightsItsActiveTabOrFirstWindowAndCommitHandsThatRowOver)
{
    TestRuntime runtime;
    const TabGroupItem tabs = tabGroup({tab("One", "u1"), tab("Two", "u2"), tab("Three", "u3", true)});
    const WindowGroupItem windows = finderGroup({window("Finder", "x"), window("Finder", "y")});
    SearchViewModel model({SwitchItem(tabs), SwitchItem(windows), window("A", "a")}, false);
    QStringList selected;
    model.commit(); // no callback: nothing
    model.onSelect = [&](const SwitchItem& item) { selected << item.title(); };
    model.setSelectedIndex(5);
    model.commit(); // clamped to the last row
    model.setSearchActive(true);
    model.openTabGroup(tabs, false);
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_FALSE(model.engaged());
    EXPECT_FALSE(model.searchActive());
    model.commit();
    model.setQuery("zzz");
    model.commit(); // empty list: nothing
    model.closeTabGroup();
    EXPECT_EQ(model.visibleCount(), 3);

    model.setSelectedIndex(1);
    model.openWindowGroup(windows, true);
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_TRUE(model.engaged());
    model.commit();
    EXPECT_EQ(selected, (QStringList{"a", "Three", "x"}));
}

TEST(SearchViewModel, RebuildSwapsOpenGroupsAndKeepsTheHighlightInRange)
{
    TestRuntime runtime;
    SearchViewModel model({window("A", "a"), window("B", "b"), window("C", "c")}, false);
    model.setSelectedIndex(2);
    model.updateItems({window("A", "a"), window("B", "b")});
    EXPECT_EQ(model.selectedIndex(), 1);

    model.openTabGroup(tabGroup({tab("One", "u1", true), tab("Two", "u2")}), false);
    model.updateItems({tabGroup({tab("One", "u1"), tab("Two", "u2", true), tab("New", "u3")})});
    EXPECT_EQ(titles(model.filteredTabs(*model.activeTabGroup())), (QStringList{"One", "Two", "New"}));
    EXPECT_EQ(model.selectedIndex(), 1); // follows the browser's active tab
    model.moveSelection(1);
    model.updateItems({tabGroup({tab("One", "u1", true), tab("Two", "u2")})});
    EXPECT_EQ(model.selectedIndex(), 1); // the keyboard owns the highlight now, clamped to 2 rows
    model.updateItems({window("A", "a")}); // the browser is gone: its old group stays open
    EXPECT_EQ(model.visibleCount(), 2);
}

// Windows are told apart by their number: two "bash" terminals are two rows. The highlight
// moving on when its window goes is driven end to end.
SwitchItem numbered(const QString& title, quint32 number)
{
    WindowItem item = window("Term", title);
    item.cgWindowID = number;
    return item;
}

TEST(SearchViewModel, ARebuildKeepsTheHighlightOnItsRowWhereverItMoved)
{
    TestRuntime runtime;
    SearchViewModel model({numbered("bash", 1), numbered("bash", 2), numbered("vim", 3)}, false);
    model.setSelectedIndex(1);
    model.updateItems({numbered("new", 4), numbered("bash", 1), numbered("bash", 2), numbered("vim", 3)});
    EXPECT_EQ(model.selectedIndex(), 2) << "the same window, not the same row number";

    model.markClosing(numbered("bash", 1));
    EXPECT_EQ(model.closeState(numbered("bash", 1)), RowCloseState::closing);
    EXPECT_EQ(model.closeState(numbered("bash", 2)), RowCloseState::none);
}

TEST(SearchViewModel, ClosingMarkLastsFromTheFirstMark)
{
    TestRuntime runtime;
    const SwitchItem row = window("A", "a");
    SearchViewModel model({row}, false);
    model.markClosing(row);
    EXPECT_EQ(model.closeState(window("A", "a")), RowCloseState::closing); // by key, not by id
    runtime.advance(1.0);
    model.markClosing(row);
    runtime.advance(1.75);
    EXPECT_EQ(model.closeState(row), RowCloseState::closing);
    runtime.advance(0.1);
    EXPECT_EQ(model.closeState(row), RowCloseState::none);

    auto gone = std::make_unique<SearchViewModel>(std::vector<SwitchItem>{row}, false);
    gone->markClosing(row);
    gone.reset();
    runtime.advance(3.0); // the timer finds the view model gone and does nothing
}
