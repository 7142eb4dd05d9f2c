#include "core/panel/PanelKeyRules.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::PanelKeyRules;
using namespace ostrevane::PanelKeyCode;
using Kind = SwitchItem::Kind;

namespace {

constexpr quint32 command = 0x100, shift = 0x200, option = 0x800;
constexpr quint32 keyA = 0, keyD = 2, keyX = 7, keyQ = 12;

ShortcutMap defaults()
{
    ShortcutMap map;
    for (ShortcutAction action : ShortcutActions::allCases())
        map[action] = ShortcutActions::defaultChord(action);
    return map;
}

PanelKeyEvent key(quint32 code, quint32 modifiers = 0, bool composing = false) { return {code, modifiers, composing}; }

// The panel as the rules see it; five rows with a window highlighted unless told otherwise.
enum Where { mainList, searching, tabGroup, windowGroup };
PanelKeyState panel(Where where = mainList, std::optional<Kind> selected = Kind::window, int count = 5)
{
    return {where == searching, where == tabGroup, where == windowGroup, selected, count};
}

} // namespace

TEST(PanelKeyRules, FixedKeysAndShortcutsMapToActionsByTheStateOfThePanel)
{
    const struct {
        const char* name;
        PanelKeyEvent event;
        PanelKeyState state;
        PanelKeyAction expected;
    } rows[] = {
        {"Up arrow with any modifiers moves up", key(up, command | shift), panel(), PanelKeyAction::moveUp},
        {"moving in an empty list is swallowed", key(down), panel(mainList, std::nullopt, 0), PanelKeyAction::swallow},
        {"Option+A in a tab group leaves it", key(keyA, option), panel(tabGroup), PanelKeyAction::closeTabGroup},
        {"Option+D on a tab group opens it", key(keyD, option), panel(mainList, Kind::tabGroup),
         PanelKeyAction::openTabGroup},
        {"enter group on an app row is swallowed", key(keyD, option), panel(mainList, Kind::app),
         PanelKeyAction::swallow},
        {"Tab advances even in an empty list", key(tab), panel(mainList, std::nullopt, 0),
         PanelKeyAction::advanceForward},
        {"keypad Enter while searching commits", key(keypadEnter), panel(searching), PanelKeyAction::commit},
        {"composing text owns even Escape", key(escape, 0, true), panel(), PanelKeyAction::passOn},
    };
    const ShortcutMap shortcuts = defaults();
    for (const auto& row : rows)
        EXPECT_EQ(keyAction(row.event, shortcuts, row.state), row.expected) << row.name;
}

TEST(PanelKeyRules, ChordsMatchOnlyWithEqualMasksAndBareChordsOnlyForSpecialKeys)
{
    const struct {
        const char* name;
        HotkeyConfig chord;
        PanelKeyEvent event;
        bool matches;
    } rows[] = {
        {"same key and mask", {keyX, command}, key(keyX, command), true},
        {"extra modifier held", {keyX, command}, key(keyX, command | shift), false},
        {"bare letter chord never fires", {keyX, 0}, key(keyX), false},
        {"bare Up chord fires", {up, 0}, key(up), true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(shortcutMatches(row.chord, row.event), row.matches) << row.name;
    EXPECT_FALSE(shortcutMatches(std::nullopt, key(returnKey)));
}

TEST(PanelKeyRules, CustomShortcutsReplaceTheDefaultsAndEarlierRulesWinWhenTheyOverlap)
{
    ShortcutMap shortcuts = defaults();
    shortcuts[ShortcutAction::closeSelected] = {keyX, command};
    shortcuts[ShortcutAction::desktop] = {keyQ, 0};      // a bare letter: it reaches the search field
    shortcuts[ShortcutAction::moveDown] = {tab, option}; // rule 2 comes before Tab's rule 6

    EXPECT_EQ(keyAction(key(keyX, command), shortcuts, panel()), PanelKeyAction::closeSelected);
    EXPECT_EQ(keyAction(key(keyX, option), shortcuts, panel()), PanelKeyAction::passOn);
    EXPECT_EQ(keyAction(key(keyQ), shortcuts, panel()), PanelKeyAction::passOn);
    EXPECT_EQ(keyAction(key(tab, option), shortcuts, panel()), PanelKeyAction::moveDown);
    shortcuts[ShortcutAction::cancel] = {keyX, command}; // rule 7 comes before closeSelected's rule 8
    EXPECT_EQ(keyAction(key(keyX, command), shortcuts, panel()), PanelKeyAction::cancel);
}

TEST(PanelKeyRules, OptionReleaseHidesWhenSuppressedStaysWhenEngagedElseCommits)
{
    const struct {
        const char* name;
        bool optionHeld, hasViewModel, suppress, engaged;
        OptionRelease expected;
    } rows[] = {
        {"plain release opens the row", false, true, false, false, OptionRelease::commit},
        {"suppress wins over engaged", false, true, true, true, OptionRelease::hide},
        {"engaged panel stays", false, true, false, true, OptionRelease::stay},
        {"Option still held does nothing", true, true, false, false, OptionRelease::none},
        {"no showing does nothing", false, false, true, false, OptionRelease::none},
    };
    for (const auto& row : rows)
        EXPECT_EQ(optionReleaseAction(row.optionHeld, row.hasViewModel, row.suppress, row.engaged), row.expected)
            << row.name;
}

TEST(PanelKeyRules, ClicksWithinEightPointsOfThePanelCountAsInsideAndOptionKeepsTheCommit)
{
    const QRectF frame(1000, 100, 354, 400);
    const struct {
        const char* name;
        QPointF point;
        bool inPanel, optionHeld;
        bool globalHides;
        LocalClick local;
    } rows[] = {
        {"exactly 8 points above", {1100, 92}, false, false, false, LocalClick::engage},
        {"10 points left of the edge", {990, 300}, false, false, true, LocalClick::hide},
        {"on the panel with Option held", {1100, 300}, false, true, false, LocalClick::none},
        {"far away with Option held", {10, 10}, false, true, true, LocalClick::hide},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(globalClickHides(frame, row.point), row.globalHides) << row.name;
        EXPECT_EQ(localClickAction(frame, row.point, row.inPanel, row.optionHeld), row.local) << row.name;
    }
    EXPECT_TRUE(globalClickHides(std::nullopt, {100, 100}));
}
