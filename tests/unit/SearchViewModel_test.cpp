#include "core/SearchViewModel.h"

#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

WindowItem window(const QString& appName, const QString& title, std::optional<QString> bundleID = std::nullopt)
{
    return fixtures::window(appName, bundleID ? bundleID : "com.example." + appName.toLower(), title);
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
    return fixtures::windowGroup("com.apple.finder", "Finder", windows);
}

template <class Row>
QStringList titles(const std::vector<Row>& rows)
{
    QStringList out;
    for (const Row& row : rows) {
        if constexpr (std::is_same_v<Row, SwitchItem>)
            out << row.title();
        else
            out << row.title;
    }
    return out;
}

// Counts how often the empty-query main list is computed (it asks about each app row).
struct CountingActions : RecordingActions {
    int runningQueries = 0;
    bool isRunningUserApp(const QString& bundleID) override
    {
        ++runningQueries;
        return RecordingActions::isRunningUserApp(bundleID);
    }
};

// The matching rules written plainly, independent of the prepared fast path.
QStringList referenceCharacters(const QString& text)
{
    const QString lower = text.toLower();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, lower);
    QStringList out;
    for (qsizetype from = 0, to = finder.toNextBoundary(); to > from; from = to, to = finder.toNextBoundary())
        out << lower.mid(from, to - from).normalized(QString::NormalizationForm_C);
    return out;
}

std::optional<int> referenceScore(const QString& queryText, const QString& textText)
{
    const QStringList query = referenceCharacters(queryText);
    const QStringList text = referenceCharacters(textText);
    if (text.isEmpty())
        return std::nullopt;
    int score = 0, q = 0, start = 0, last = -2;
    bool previousIsBoundary = true;
    for (int j = 0; j < text.size(); ++j) {
        const bool isBoundary = !QChar::isLetterOrNumber(text[j].toUcs4().front());
        if (q < query.size() && text[j] == query[q]) {
            score += -(j - start) + 10 + (j == last + 1 ? 8 : 0) + (previousIsBoundary ? 12 : 0) + (j == 0 ? 6 : 0);
            last = j;
            start = j + 1;
            ++q;
        }
        previousIsBoundary = isBoundary;
    }
    if (q < query.size())
        return std::nullopt;
    return score - (static_cast<int>(text.size()) - start);
}

} // namespace

TEST(FuzzyScore, ScoresFollowTheMatchArithmetic)
{
    const QString hundred = QString(50, u'a') + u'x' + QString(49, u'a');
    const struct {
        QString query, text;
        std::optional<int> expected;
    } rows[] = {
        {"fn", "field notes", 41},
        {"fi", "field notes", 37},
        {"no", "field notes", 31},
        {"x", hundred, -89},
        {"b", "a-b", 20},  // after a boundary
        {"b", "a1b", 8},   // digits are not boundaries
        {"FN", "Field Notes", 41},
        {"fieldnotes!", "field notes", std::nullopt},
        {"a", "", std::nullopt},
        {"nf", "field notes", std::nullopt}, // order matters
    };
    for (const auto& row : rows)
        EXPECT_EQ(fuzzyScore(row.query, row.text), row.expected) << row.query.toStdString() << " in " << row.text.toStdString();
}

TEST(FuzzyScore, WeightsTruncateTowardZero)
{
    EXPECT_EQ(itemScore("fn", {{"field notes", 0.95}}), 38);
    EXPECT_EQ(itemScore("fn", {{"field notes", 1.0}}), 41);
    EXPECT_EQ(weightedScore(0.6, -89), -53);
    EXPECT_EQ(itemScore("no", {{"field notes", 1.0}, {"notes", 0.6}}), 31); // 0.6 × 43 = 25 loses
    EXPECT_EQ(itemScore("zz", {{"field notes", 1.0}}), std::nullopt);
}

TEST(FuzzyScore, LowerCasesFullyAndComparesCharactersCanonically)
{
    EXPECT_TRUE(fuzzyScore(u"É"_qs, u"école"_qs));
    EXPECT_TRUE(fuzzyScore(u"É"_qs, u"e\u0301cole"_qs)); // decomposed é
    EXPECT_FALSE(fuzzyScore(u"É"_qs, u"ecole"_qs));
    EXPECT_FALSE(fuzzyScore(u"e"_qs, u"e\u0301"_qs));    // a mark belongs to its letter
    EXPECT_TRUE(fuzzyScore(u"straße"_qs, u"STRA\u1E9EE"_qs));
    EXPECT_FALSE(fuzzyScore(u"i"_qs, u"İ"_qs));          // İ lower-cases to i + combining dot
    EXPECT_TRUE(fuzzyScore(u"İ"_qs, u"i\u0307stanbul"_qs));
    EXPECT_TRUE(fuzzyScore(u"Å"_qs, u"\u212Bngström"_qs)); // angstrom sign is canonically Å
    EXPECT_FALSE(fuzzyScore(u"👩"_qs, u"👩‍💻"_qs));              // an emoji sequence is one character
    EXPECT_EQ(fuzzyScore(u"東京"_qs, u"東京タワー"_qs), 43);
}

TEST(FuzzyScore, PreparedPathEqualsPlainRulesOnTrickyText)
{
    const QStringList texts = {
        u"Café crème"_qs, u"cafe\u0301 cre\u0300me"_qs, u"ÉCOLE é e"_qs, u"Straße STRASSE stra\u1E9Ee"_qs,
        u"İstanbul i\u0307 I ı"_qs, u"👩‍💻 coding 👩 💻"_qs, u"🇩🇪 flag 🇫🇷"_qs, u"東京タワー 東 京"_qs,
        u"한국 \u1112\u1161\u11AB"_qs, u"\u212Bngström Å"_qs, u"line\r\nbreak \r \n"_qs, u"x1-y2_z3.w"_qs, u""_qs,
        u"\u2126 ω \uF900 \u8C48 \u0340"_qs, u"👍🏽 👍 ok"_qs, u"Docs — Drive “quoted” …"_qs,
        u"Москва ЁЖ ёж е\u0308"_qs, u"Việt Nam ẞ ệ"_qs, u"ＡＢＣ ａｂｃ"_qs, u"ひらがな カタカナ、。"_qs,
        u"\u3000\u302A mark"_qs, u"control\u0007bell\u200Djoin"_qs,
    };
    const QStringList queries = {u"é"_qs, u"É"_qs, u"e"_qs, u"ß"_qs, u"ss"_qs, u"i̇"_qs, u"i"_qs, u"👩"_qs,
                                 u"💻"_qs, u"🇩🇪"_qs, u"東京"_qs, u"한"_qs, u"å"_qs, u"\r\n"_qs, u"\n"_qs,
                                 u"x-z"_qs, u"cafe"_qs, u"crème"_qs, u" "_qs, u"ing"_qs,
                                 u"Ω"_qs, u"\u8C48"_qs, u"\u0300"_qs, u"👍"_qs, u"👍🏽"_qs,
                                 u"—"_qs, u"ё"_qs, u"Ё"_qs, u"ệ"_qs, u"ẞ"_qs, u"ａ"_qs, u"Ａ"_qs, u"カ"_qs,
                                 u"…"_qs, u"d d"_qs, u"lj"_qs};
    for (const QString& text : texts) {
        for (const QString& query : queries)
            EXPECT_EQ(fuzzyScore(query, text), referenceScore(query, text))
                << query.toStdString() << " in " << text.toStdString();
    }

    TestRuntime runtime;
    std::vector<SwitchItem> items;
    for (const QString& text : texts)
        items.emplace_back(window(text, text.right(4)));
    SearchViewModel model(items, true);
    for (const QString& query : queries) {
        std::vector<std::pair<int, int>> expected; // (-score, origin)
        for (size_t i = 0; i < items.size(); ++i) {
            const auto s = std::max(referenceScore(query, texts[i]), referenceScore(query, texts[i].right(4)));
            if (s)
                expected.emplace_back(-*s, static_cast<int>(i));
        }
        std::sort(expected.begin(), expected.end());
        QStringList expectedTitles;
        for (const auto& [negativeScore, origin] : expected)
            expectedTitles << items[origin].title();
        model.setQuery(query);
        EXPECT_EQ(titles(model.filtered()), expectedTitles) << query.toStdString();
    }
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
    EXPECT_EQ(model.filtered()[3].kind(), SwitchItem::Kind::app);
}

TEST(SearchViewModel, EmptyQueryHidesTabsGroupedWindowsAndAppsNotRunning)
{
    TestRuntime runtime;
    runtime.actions.runningUserApps = {"com.running"};
    const WindowItem finderWindow = window("Finder", "Documents", QStringLiteral("com.apple.finder"));
    const std::vector<SwitchItem> items = {window("Shell", "zsh"), finderWindow, tab("Docs", "https://docs.example"),
                                           finderGroup({finderWindow}), app("com.running", "Mail"),
                                           app("com.idle", "Maps")};
    EXPECT_EQ(titles(SearchViewModel(items, false).filtered()), (QStringList{"zsh", "Finder", "Mail"}));
    EXPECT_EQ(titles(SearchViewModel(items, true).filtered()), (QStringList{"zsh", "Finder", "Mail", "Maps"}));

    SearchViewModel searching(items, false);
    searching.setQuery("ma");
    EXPECT_EQ(titles(searching.filtered()), (QStringList{"Mail", "Maps"}));
    searching.setQuery("docs");
    EXPECT_EQ(titles(searching.filtered()), (QStringList{"Docs", "Documents"})); // tabs and grouped windows too
}

TEST(SearchViewModel, CachesAreReusedUntilTheQueryOrItemsChange)
{
    TestRuntime runtime;
    CountingActions actions;
    SearchViewModel model({window("A", "a"), app("com.x", "X")}, false, actions, runtime.dispatcher());
    model.filtered();
    model.filtered();
    model.visibleCount();
    EXPECT_EQ(actions.runningQueries, 1);
    model.setQuery(""); // the same text still invalidates
    model.filtered();
    EXPECT_EQ(actions.runningQueries, 2);
    model.updateItems({window("B", "b"), app("com.x", "X")});
    EXPECT_EQ(titles(model.filtered()), (QStringList{"b"}));
    EXPECT_EQ(actions.runningQueries, 3);
    model.setQuery("x");
    model.setQuery("");
    EXPECT_EQ(titles(model.filtered()), (QStringList{"b"}));
}

TEST(SearchViewModel, GroupListsAreCachedByGroupID)
{
    TestRuntime runtime;
    SearchViewModel model({}, false);
    TabGroupItem group = tabGroup({tab("Inbox", "https://mail.example"), tab("News", "https://news.example")});
    EXPECT_EQ(titles(model.filteredTabs(group)), (QStringList{"Inbox", "News"})); // none active, all shown
    model.setQuery("https");
    EXPECT_EQ(titles(model.filteredTabs(group)), (QStringList{"Inbox", "News"})); // group urls are not cleaned
    model.setQuery("news");
    EXPECT_EQ(titles(model.filteredTabs(group)), (QStringList{"News"}));
    TabGroupItem sameID = group;
    sameID.tabs.pop_back();
    EXPECT_EQ(titles(model.filteredTabs(sameID)), (QStringList{"News"})); // keyed by id
    TabGroupItem rebuilt = sameID;
    rebuilt.id = QUuid::createUuid();
    EXPECT_EQ(titles(model.filteredTabs(rebuilt)), QStringList{});

    const WindowGroupItem windows = finderGroup({window("Finder", ""), window("Finder", "Downloads")});
    model.setQuery("finder");
    EXPECT_EQ(titles(model.filteredWindows(windows)), QStringList{}); // only titles are searched
    model.setQuery("");
    EXPECT_EQ(titles(model.filteredWindows(windows)), (QStringList{"", "Downloads"}));
}

TEST(SearchViewModel, QueryResetsHighlightAndEngagesOnlyWhenNonEmpty)
{
    TestRuntime runtime;
    SearchViewModel model({window("A", "a"), window("B", "b")}, false);
    int queryChanges = 0;
    QObject::connect(&model, &SearchViewModel::queryChanged, [&] { ++queryChanges; });
    model.setSelectedIndex(1);
    model.setQuery("");
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_FALSE(model.engaged());
    model.setQuery("a");
    model.setQuery("");
    EXPECT_TRUE(model.engaged());
    EXPECT_EQ(queryChanges, 3);
}

TEST(SearchViewModel, MovingWrapsAtBothEnds)
{
    TestRuntime runtime;
    SearchViewModel model({window("A", "a"), window("B", "b"), window("C", "c")}, false);
    const struct {
        int from, step, expected;
    } rows[] = {{2, 1, 0}, {0, -1, 2}, {1, 1, 2}, {0, 7, 1}, {1, -5, 2}};
    for (const auto& row : rows) {
        model.setSelectedIndex(row.from);
        model.moveSelection(row.step);
        EXPECT_EQ(model.selectedIndex(), row.expected) << row.from << " by " << row.step;
    }
    EXPECT_TRUE(model.keyboardClaimed());
    model.mouseMoved();
    EXPECT_FALSE(model.keyboardClaimed());

    SearchViewModel empty({}, false);
    empty.moveSelection(1);
    EXPECT_EQ(empty.selectedIndex(), 0);
    EXPECT_FALSE(empty.keyboardClaimed());
    EXPECT_EQ(empty.selectedItem(), std::nullopt);
}

TEST(SearchViewModel, InitialOffsetWrapsIntoTheItemCount)
{
    TestRuntime runtime;
    const struct {
        int itemCount, offset, expected;
    } rows[] = {{3, 1, 1}, {3, 4, 1}, {3, -1, 2}, {2, 2, 0}, {1, 1, 0}, {0, 1, 0}};
    for (const auto& row : rows) {
        std::vector<SwitchItem> items;
        for (int i = 0; i < row.itemCount; ++i)
            items.emplace_back(window("A", QString::number(i)));
        SearchViewModel model(items, false);
        model.applyInitialOffset(row.offset);
        EXPECT_EQ(model.selectedIndex(), row.expected) << row.itemCount << " items, offset " << row.offset;
    }
}

TEST(SearchViewModel, OpeningAGroupHighlightsItsActiveTabOrFirstWindow)
{
    TestRuntime runtime;
    const TabGroupItem tabs = tabGroup({tab("One", "u1"), tab("Two", "u2"), tab("Three", "u3", true)});
    const WindowGroupItem windows = finderGroup({window("Finder", "x"), window("Finder", "y")});
    SearchViewModel model({SwitchItem(tabs), SwitchItem(windows), window("A", "a")}, false);
    model.setSearchActive(true);
    model.openTabGroup(window("A", "a"), true); // not a group: ignored
    EXPECT_FALSE(model.isInDetailView());
    model.openTabGroup(tabs, false);
    EXPECT_EQ(model.selectedIndex(), 2);
    EXPECT_FALSE(model.engaged());
    EXPECT_FALSE(model.searchActive());
    EXPECT_EQ(model.visibleCount(), 3);
    model.closeTabGroup();
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(model.visibleCount(), 3);

    model.setSelectedIndex(1);
    model.openWindowGroup(windows, true);
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_TRUE(model.engaged());
    EXPECT_EQ(model.selectedItem()->title(), "x");
}

TEST(SearchViewModel, CommitHandsOverTheHighlightedRowOfTheVisibleList)
{
    TestRuntime runtime;
    const TabGroupItem tabs = tabGroup({tab("One", "u1"), tab("Two", "u2", true)});
    SearchViewModel model({SwitchItem(tabs)}, false);
    std::vector<SwitchItem> selected;
    model.commit(); // no callback: nothing
    model.onSelect = [&](const SwitchItem& item) { selected.push_back(item); };
    model.setSelectedIndex(5);
    model.commit(); // clamped to the only row
    model.openTabGroup(tabs, false);
    model.commit();
    model.setQuery("zzz");
    model.commit(); // empty list: nothing
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0].kind(), SwitchItem::Kind::tabGroup);
    EXPECT_EQ(selected[1].kind(), SwitchItem::Kind::tab);
    EXPECT_EQ(selected[1].title(), "Two");
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

    model.closeTabGroup();
    model.openWindowGroup(finderGroup({window("Finder", "x")}), false);
    model.updateItems({finderGroup({window("Finder", "x"), window("Finder", "y")})});
    EXPECT_EQ(model.visibleCount(), 2);
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
