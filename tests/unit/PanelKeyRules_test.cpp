#include "core/PanelKeyRules.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::PanelKeyRules;

namespace {

constexpr quint32 command = 0x100, shift = 0x200, option = 0x800, control = 0x1000;
constexpr quint32 keyA = 0, keyS = 1, keyD = 2, keyX = 7, keyQ = 12, keyW = 13, tab = 48, returnKey = 36, escape = 53,
                  keypadEnter = 76, left = 123, right = 124, down = 125, up = 126;

ShortcutMap defaults()
{
    ShortcutMap map;
    for (ShortcutAction action : ShortcutActions::allCases())
        map[action] = ShortcutActions::defaultChord(action);
    return map;
}

PanelKeyEvent key(quint32 code, quint32 modifiers = 0, bool composing = false) { return {code, modifiers, composing}; }

PanelKeyState mainList(std::optional<SwitchItem::Kind> selected = SwitchItem::Kind::window, int count = 5)
{
    PanelKeyState state;
    state.selectedRowKind = selected;
    state.visibleCount = count;
    return state;
}

PanelKeyState withSearch(PanelKeyState state)
{
    state.searchActive = true;
    return state;
}

PanelKeyState inTabGroup()
{
    PanelKeyState state = mainList();
    state.tabGroupOpen = true;
    return state;
}

PanelKeyState inWindowGroup()
{
    PanelKeyState state = mainList();
    state.windowGroupOpen = true;
    return state;
}

} // namespace

TEST(PanelKeyRules, DefaultShortcutsAndFixedKeysMapToTheirActions)
{
    const struct {
        const char* name;
        PanelKeyEvent event;
        PanelKeyState state;
        PanelKeyAction expected;
    } rows[] = {
        {"Option+W moves up", key(keyW, option), mainList(), PanelKeyAction::moveUp},
        {"Up arrow with any modifiers moves up", key(up, command | shift), mainList(), PanelKeyAction::moveUp},
        {"Option+S moves down", key(keyS, option), mainList(), PanelKeyAction::moveDown},
        {"Down arrow moves down", key(down), mainList(), PanelKeyAction::moveDown},
        {"moving in an empty list is swallowed", key(down), mainList(std::nullopt, 0), PanelKeyAction::swallow},
        {"Option+A in a tab group leaves it", key(keyA, option), inTabGroup(), PanelKeyAction::closeTabGroup},
        {"Left arrow in a window group leaves it", key(left), inWindowGroup(), PanelKeyAction::closeWindowGroup},
        {"back in the main list passes on", key(keyA, option), mainList(), PanelKeyAction::passOn},
        {"Left arrow in the main list passes on", key(left), mainList(), PanelKeyAction::passOn},
        {"Option+D on a tab group opens it", key(keyD, option), mainList(SwitchItem::Kind::tabGroup),
         PanelKeyAction::openTabGroup},
        {"Right arrow on a window group opens it", key(right), mainList(SwitchItem::Kind::windowGroup),
         PanelKeyAction::openWindowGroup},
        {"enter group on an app row is swallowed", key(keyD, option), mainList(SwitchItem::Kind::app),
         PanelKeyAction::swallow},
        {"enter group out of range is swallowed", key(keyD, option), mainList(std::nullopt), PanelKeyAction::swallow},
        {"enter group inside a group is swallowed", key(right), inTabGroup(), PanelKeyAction::swallow},
        {"Option+Q shows the desktop", key(keyQ, option), mainList(), PanelKeyAction::showDesktop},
        {"Tab advances", key(tab, option), mainList(), PanelKeyAction::advanceForward},
        {"Shift+Tab goes back", key(tab, option | shift), mainList(), PanelKeyAction::advanceBackward},
        {"Tab advances even in an empty list", key(tab), mainList(std::nullopt, 0), PanelKeyAction::advanceForward},
        {"Escape cancels", key(escape), mainList(), PanelKeyAction::cancel},
        {"Option+Escape cancels", key(escape, option), mainList(), PanelKeyAction::cancel},
        {"Command+Escape passes on", key(escape, command), mainList(), PanelKeyAction::passOn},
        {"Option+X closes the row", key(keyX, option), mainList(), PanelKeyAction::closeSelected},
        {"Return starts search", key(returnKey), mainList(), PanelKeyAction::startSearch},
        {"Option+Return starts search", key(returnKey, option), mainList(), PanelKeyAction::startSearch},
        {"keypad Enter starts search", key(keypadEnter, option), mainList(), PanelKeyAction::startSearch},
        {"Return while searching commits", key(returnKey), withSearch(mainList()), PanelKeyAction::commit},
        {"keypad Enter while searching commits", key(keypadEnter), withSearch(mainList()), PanelKeyAction::commit},
        {"Shift+Return passes on", key(returnKey, shift), mainList(), PanelKeyAction::passOn},
        {"Control+Return while searching passes on", key(returnKey, control), withSearch(mainList()),
         PanelKeyAction::passOn},
        {"a bare letter passes on", key(keyX), mainList(), PanelKeyAction::passOn},
        {"a letter with Command passes on", key(keyX, command), mainList(), PanelKeyAction::passOn},
        {"composing text owns even Escape", key(escape, 0, true), mainList(), PanelKeyAction::passOn},
        {"composing text owns Option+W", key(keyW, option, true), mainList(), PanelKeyAction::passOn},
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
        {"modifier missing", {keyX, command}, key(keyX), false},
        {"other key", {keyX, command}, key(keyW, command), false},
        {"bare letter chord never fires", {keyX, 0}, key(keyX), false},
        {"bare Return chord fires", {returnKey, 0}, key(returnKey), true},
        {"bare Up chord fires", {up, 0}, key(up), true},
        {"bare keypad Enter chord never fires", {keypadEnter, 0}, key(keypadEnter), false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(shortcutMatches(row.chord, row.event), row.matches) << row.name;
    EXPECT_FALSE(shortcutMatches(std::nullopt, key(returnKey)));
}

TEST(PanelKeyRules, CustomShortcutsAreHonouredAndBareLetterShortcutsReachTheSearchField)
{
    ShortcutMap shortcuts = defaults();
    shortcuts[ShortcutAction::closeSelected] = {keyX, command};
    shortcuts[ShortcutAction::desktop] = {keyQ, 0};

    EXPECT_EQ(keyAction(key(keyX, command), shortcuts, mainList()), PanelKeyAction::closeSelected);
    EXPECT_EQ(keyAction(key(keyX, option), shortcuts, mainList()), PanelKeyAction::passOn);
    EXPECT_EQ(keyAction(key(keyQ), shortcuts, mainList()), PanelKeyAction::passOn);
}

TEST(PanelKeyRules, EarlierRulesWinWhenShortcutsOverlap)
{
    ShortcutMap shortcuts = defaults();
    shortcuts[ShortcutAction::moveDown] = {tab, option}; // rule 2 comes before Tab's rule 6
    shortcuts[ShortcutAction::cancel] = {keyX, option};  // rule 7 comes before closeSelected's rule 8

    EXPECT_EQ(keyAction(key(tab, option), shortcuts, mainList()), PanelKeyAction::moveDown);
    EXPECT_EQ(keyAction(key(keyX, option), shortcuts, mainList()), PanelKeyAction::cancel);
}

TEST(PanelKeyRules, OptionReleaseHidesWhenSuppressedStaysWhenEngagedElseCommits)
{
    const struct {
        const char* name;
        bool optionHeld, hasViewModel, suppress, engaged;
        OptionRelease expected;
    } rows[] = {
        {"plain release opens the row", false, true, false, false, OptionRelease::commit},
        {"suppressed release hides", false, true, true, false, OptionRelease::hide},
        {"suppress wins over engaged", false, true, true, true, OptionRelease::hide},
        {"engaged panel stays", false, true, false, true, OptionRelease::stay},
        {"Option still held does nothing", true, true, false, false, OptionRelease::none},
        {"no showing does nothing", false, false, true, false, OptionRelease::none},
    };
    for (const auto& row : rows)
        EXPECT_EQ(optionReleaseAction(row.optionHeld, row.hasViewModel, row.suppress, row.engaged), row.expected)
            << row.name;
}

TEST(PanelKeyRules, ClicksWithinEightPointsOfThePanelCountAsInside)
{
    const QRectF frame(1000, 100, 354, 400); // right edge at x = 1354
    const struct {
        const char* name;
        QPointF point;
        bool globalHides;
        LocalClick local;
    } rows[] = {
        {"inside", {1100, 300}, false, LocalClick::engage},
        {"5 points left of the edge", {995, 300}, false, LocalClick::engage},
        {"exactly 8 points above", {1100, 92}, false, LocalClick::engage},
        {"10 points left of the edge", {990, 300}, true, LocalClick::hide},
        {"far away", {10, 10}, true, LocalClick::hide},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(globalClickHides(frame, row.point), row.globalHides) << row.name;
        EXPECT_EQ(localClickAction(frame, row.point, false, false), row.local) << row.name;
    }
}

TEST(PanelKeyRules, LocalClicksOnThePanelEngageOnlyWithoutOption)
{
    const QRectF frame(0, 0, 304, 332);
    EXPECT_EQ(localClickAction(frame, {5000, 5000}, true, false), LocalClick::engage);
    EXPECT_EQ(localClickAction(frame, {100, 100}, false, true), LocalClick::none);
    EXPECT_EQ(localClickAction(frame, {5000, 5000}, false, true), LocalClick::hide);
    EXPECT_TRUE(globalClickHides(std::nullopt, {100, 100}));
}
