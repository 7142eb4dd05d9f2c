#include "core/panel/PanelKeyRules.h"

#include <algorithm>
#include <array>

namespace ostrevane::PanelKeyRules {

namespace {

constexpr quint32 shiftControlCommand = CarbonModifier::shift | CarbonModifier::control | CarbonModifier::command;

bool isKey(const PanelKeyEvent& event, quint32 keyCode) { return event.keyCode == keyCode; }

// Return or keypad Enter; Option may be held (it is, while the panel is summoned).
bool isEnter(const PanelKeyEvent& event)
{
    return (isKey(event, PanelKeyCode::returnKey) || isKey(event, PanelKeyCode::keypadEnter))
        && (event.carbonModifiers & shiftControlCommand) == 0;
}

bool isEscape(const PanelKeyEvent& event)
{
    return isKey(event, PanelKeyCode::escape) && (event.carbonModifiers & shiftControlCommand) == 0;
}

PanelKeyAction backAction(const PanelKeyState& state)
{
    if (state.tabGroupOpen)
        return PanelKeyAction::closeTabGroup;
    if (state.windowGroupOpen)
        return PanelKeyAction::closeWindowGroup;
    return PanelKeyAction::passOn; // the search field may use the Left arrow
}

PanelKeyAction enterGroupAction(const PanelKeyState& state)
{
    if (state.tabGroupOpen || state.windowGroupOpen || !state.selectedRowKind)
        return PanelKeyAction::swallow;
    switch (*state.selectedRowKind) {
    case SwitchItem::Kind::tabGroup:
        return PanelKeyAction::openTabGroup;
    case SwitchItem::Kind::windowGroup:
        return PanelKeyAction::openWindowGroup;
    default:
        return PanelKeyAction::swallow;
    }
}

PanelKeyAction moveAction(PanelKeyAction move, const PanelKeyState& state)
{
    return state.visibleCount < 1 ? PanelKeyAction::swallow : move;
}

// Rules 1 to 5: movement, groups and the desktop.
std::optional<PanelKeyAction> navigationRule(const PanelKeyEvent& event, const ShortcutMap& shortcuts,
                                             const PanelKeyState& state)
{
    if (shortcutMatches(shortcuts, ShortcutAction::moveUp, event) || isKey(event, PanelKeyCode::up))
        return moveAction(PanelKeyAction::moveUp, state);
    if (shortcutMatches(shortcuts, ShortcutAction::moveDown, event) || isKey(event, PanelKeyCode::down))
        return moveAction(PanelKeyAction::moveDown, state);
    if (shortcutMatches(shortcuts, ShortcutAction::back, event) || isKey(event, PanelKeyCode::left))
        return backAction(state);
    if (shortcutMatches(shortcuts, ShortcutAction::enterGroup, event) || isKey(event, PanelKeyCode::right))
        return enterGroupAction(state);
    if (shortcutMatches(shortcuts, ShortcutAction::desktop, event))
        return PanelKeyAction::showDesktop;
    return std::nullopt;
}

// Rules 6 to 11: Tab, cancel, close, open and search.
PanelKeyAction actionRule(const PanelKeyEvent& event, const ShortcutMap& shortcuts, const PanelKeyState& state)
{
    if (isKey(event, PanelKeyCode::tab))
        return event.carbonModifiers & CarbonModifier::shift ? PanelKeyAction::advanceBackward
                                                             : PanelKeyAction::advanceForward;
    if (shortcutMatches(shortcuts, ShortcutAction::cancel, event) || isEscape(event))
        return PanelKeyAction::cancel;
    if (shortcutMatches(shortcuts, ShortcutAction::closeSelected, event))
        return PanelKeyAction::closeSelected;
    if (state.searchActive && (shortcutMatches(shortcuts, ShortcutAction::openSelected, event) || isEnter(event)))
        return PanelKeyAction::commit;
    if (!state.searchActive && (shortcutMatches(shortcuts, ShortcutAction::search, event) || isEnter(event)))
        return PanelKeyAction::startSearch;
    return PanelKeyAction::passOn;
}

} // namespace

bool isPlainSpecialKey(const PanelKeyEvent& event)
{
    static constexpr std::array<quint32, 7> special{PanelKeyCode::left,      PanelKeyCode::right, PanelKeyCode::down,
                                                    PanelKeyCode::up,        PanelKeyCode::returnKey,
                                                    PanelKeyCode::tab,       PanelKeyCode::escape};
    return event.carbonModifiers == 0 && std::find(special.begin(), special.end(), event.keyCode) != special.end();
}

bool shortcutMatches(const std::optional<HotkeyConfig>& chord, const PanelKeyEvent& event)
{
    return chord && chord->keyCode == event.keyCode && chord->carbonModifiers == event.carbonModifiers
        && (event.carbonModifiers != 0 || isPlainSpecialKey(event));
}

bool shortcutMatches(const ShortcutMap& shortcuts, ShortcutAction action, const PanelKeyEvent& event)
{
    const auto found = shortcuts.find(action);
    return found != shortcuts.end() && shortcutMatches(found->second, event);
}

PanelKeyAction keyAction(const PanelKeyEvent& event, const ShortcutMap& shortcuts, const PanelKeyState& state)
{
    // An input method that is composing owns every key until it commits its text.
    if (event.composing)
        return PanelKeyAction::passOn;
    if (const std::optional<PanelKeyAction> navigation = navigationRule(event, shortcuts, state))
        return *navigation;
    return actionRule(event, shortcuts, state);
}

// Releasing Option is the moment a normal switch completes, so the default is to open
// the highlighted row. Two flags override it. `suppressCommit` is set by whatever
// must end the showing without switching (Escape, a close from the panel, the guide's
// teaching stages, test mode) and wins: the release hides the panel. `engaged` means
// the user has taken the panel over for keyboard or mouse use (search, a click
// without Option): the release is no longer the gesture's end, so the panel stays
// until Return, Escape or a click outside.
OptionRelease optionReleaseAction(bool optionHeld, bool hasViewModel, bool suppressCommit, bool engaged)
{
    if (optionHeld || !hasViewModel)
        return OptionRelease::none;
    if (suppressCommit)
        return OptionRelease::hide;
    if (engaged)
        return OptionRelease::stay;
    return OptionRelease::commit;
}

bool isNearPanel(const QRectF& panelFrame, QPointF point)
{
    return panelFrame.adjusted(-clickMargin, -clickMargin, clickMargin, clickMargin).contains(point);
}

bool globalClickHides(const std::optional<QRectF>& panelFrame, QPointF point)
{
    return !panelFrame || !isNearPanel(*panelFrame, point);
}

LocalClick localClickAction(const QRectF& panelFrame, QPointF point, bool inPanel, bool optionHeld)
{
    if (!inPanel && !isNearPanel(panelFrame, point))
        return LocalClick::hide;
    return optionHeld ? LocalClick::none : LocalClick::engage;
}

} // namespace ostrevane::PanelKeyRules
