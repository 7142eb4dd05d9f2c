#include "core/model/Localization.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"
#include "ui/PanelStyle.h"
#include "ui/SearchViewContent.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::SearchViewContent;

void PrintTo(const FooterHint& hint, std::ostream* out)
{
    *out << '(' << hint.keys.toStdString() << ' ' << hint.label.toStdString() << ')';
}

TEST(SearchViewContent, FooterHintsForEachSituationShowTheStoredChords)
{
    TestRuntime runtime;
    const ShortcutMap defaults; // every action falls back to its default chord
    const ShortcutMap custom{{ShortcutAction::openSelected, HotkeyConfig{36, CarbonModifier::command}},
                             {ShortcutAction::cancel, HotkeyConfig{12, CarbonModifier::option | CarbonModifier::shift}}};
    struct Case {
        const char* name;
        bool floating;
        ListKind list;
        bool onGroup;
        const ShortcutMap& shortcuts;
        std::vector<FooterHint> expected;
    };
    const std::vector<Case> cases{
        {"main list on a group", false, ListKind::main, true, defaults,
         {{"↩", "Search"}, {"⌥W/⌥S", "Move"}, {"⌥D", "In"}, {"⌥Q", "Desk"}, {"⎋", "Close"}}},
        {"searching with stored chords", true, ListKind::main, false, custom,
         {{"A-Z", "Type"}, {"⇥/↓", "Move"}, {"⌘↩", "Open"}, {"⌥⇧Q", "Close"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(footerHints(c.floating, c.list, c.onGroup, c.shortcuts), c.expected);
    }
}

TEST(SearchViewContent, EmptyStateNamesTheMissingPermissionBeforeAnEmptyQueryResult)
{
    EXPECT_EQ(emptyState(true, false, {}, true), EmptyState::none);
    EXPECT_EQ(emptyState(false, true, QStringLiteral("x"), false), EmptyState::noItemsWithoutAccessibility);
    EXPECT_EQ(emptyState(true, true, QStringLiteral("x"), true), EmptyState::noMatches);
    EXPECT_EQ(emptyState(true, true, {}, true), EmptyState::noItems); // only hidden rows
}

TEST(SearchViewContent, TabPermissionWarningLooksInsideTabGroups)
{
    const QStringList chrome{QStringLiteral("Google Chrome")};
    const TabItem addressed = fixtures::tab(QStringLiteral("com.google.Chrome"), QStringLiteral("A"),
                                            QStringLiteral("https://a.example"));
    const TabItem bare = fixtures::tab(QStringLiteral("com.google.Chrome"), QStringLiteral("B"), QString());
    const std::vector<SwitchItem> groupWithAddress{
        SwitchItem(fixtures::tabGroup(QStringLiteral("com.google.Chrome"), QStringLiteral("Chrome"), {bare, addressed}))};
    const std::vector<SwitchItem> onlyBare{SwitchItem(bare)};
    EXPECT_FALSE(shouldShowTabPermissionWarning(true, chrome, groupWithAddress));
    EXPECT_TRUE(shouldShowTabPermissionWarning(true, chrome, onlyBare));
    EXPECT_FALSE(shouldShowTabPermissionWarning(true, {}, onlyBare));
    EXPECT_FALSE(shouldShowTabPermissionWarning(false, chrome, onlyBare));
}

// Sizes are logical pixels (taken as points they would draw a third too large): a large
// row title is 15.544 pixels, 11.658 points at 96 dpi.
TEST(PanelStyle, FontsScaleWithThePanelFontSizeInLogicalPixels)
{
    EXPECT_NEAR(PanelStyle::font(PanelStyle::TextRole::rowTitle, 1.16, QFont::Medium, 96).pointSizeF(), 11.658, 1e-3);
}

TEST(SearchViewContent, AWindowOutOfViewSaysWhereItIsInEitherLanguage)
{
    TestRuntime runtime;
    WindowItem window = fixtures::window("Terminal", std::nullopt, "bash");
    const auto note = [&](bool minimized, std::optional<int> desktop) {
        window.isMinimized = minimized;
        window.otherDesktop = desktop;
        return windowPlacementNote(SwitchItem(window));
    };
    EXPECT_EQ(note(false, std::nullopt), QString());
    EXPECT_EQ(note(false, 2), QStringLiteral("Desktop 2"));
    EXPECT_EQ(note(true, 3), QStringLiteral("Minimised · Desktop 3"));
    EXPECT_EQ(windowPlacementNote(SwitchItem(fixtures::app("com.example.a", "A", "/Applications/A.app"))), QString());

    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(note(true, 2), QStringLiteral("已最小化 · 桌面 2"));
}
