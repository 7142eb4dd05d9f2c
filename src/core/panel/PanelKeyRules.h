#pragma once

#include "core/input/ShortcutStore.h"
#include "core/model/SwitchItem.h"
#include "core/platform/PanelPorts.h"

#include <QPointF>
#include <QRectF>

#include <optional>

namespace ostrevane {

// Key codes the panel's fixed keys use (the chord table's codes).
namespace PanelKeyCode {
constexpr quint32 tab = 48;
constexpr quint32 returnKey = 36;
constexpr quint32 escape = 53;
constexpr quint32 keypadEnter = 76;
constexpr quint32 left = 123;
constexpr quint32 right = 124;
constexpr quint32 down = 125;
constexpr quint32 up = 126;
} // namespace PanelKeyCode

// What the panel shows when a key arrives, as far as the key rules need it.
struct PanelKeyState {
    bool searchActive = false;
    bool tabGroupOpen = false;
    bool windowGroupOpen = false;
    // The kind of the highlighted main-list row; absent when the highlight lies outside
    // the main list.
    std::optional<SwitchItem::Kind> selectedRowKind;
    int visibleCount = 0;
};

// What the key monitor does with a key press. Every action but `passOn` swallows the key.
enum class PanelKeyAction {
    passOn,           // the key reaches the panel's views (typing, the search field)
    swallow,          // consumed, nothing happens
    moveUp,
    moveDown,
    closeTabGroup,
    closeWindowGroup,
    openTabGroup,
    openWindowGroup,
    showDesktop,      // show the desktop, then hide
    advanceForward,   // advance(by: 1)
    advanceBackward,  // advance(by: -1)
    cancel,           // suppress the commit, engage, hide
    closeSelected,
    commit,           // enter pulse, open the highlighted row
    startSearch,      // enter pulse, search on, engage
};

// The panel's key, modifier and click rules as pure decisions; the panel controller
// carries the results out.
namespace PanelKeyRules {

// An unmodified arrow, Return, Tab or Escape.
bool isPlainSpecialKey(const PanelKeyEvent& event);

// A configured chord matches when key code and Carbon mask are equal, and the press
// either has a modifier or is a plain special key: a chord recorded without modifiers
// can only ever be one of the seven special keys, so bare letters always reach the
// search field.
bool shortcutMatches(const std::optional<HotkeyConfig>& chord, const PanelKeyEvent& event);
bool shortcutMatches(const ShortcutMap& shortcuts, ShortcutAction action, const PanelKeyEvent& event);

// The eleven key rules, tested in order; the first that applies decides. A press while
// an input method composes text always passes on.
PanelKeyAction keyAction(const PanelKeyEvent& event, const ShortcutMap& shortcuts, const PanelKeyState& state);

// What releasing Option does.
enum class OptionRelease {
    none,   // Option still held, or no showing
    hide,   // the commit was suppressed (Escape, a close, the guide, test mode): hide, clear it
    stay,   // the panel is engaged (search, a click): it stays open for keyboard or mouse use
    commit, // open the highlighted row
};
OptionRelease optionReleaseAction(bool optionHeld, bool hasViewModel, bool suppressCommit, bool engaged);

// Clicks within this many points of the panel's frame count as inside: a click that
// just misses the wave's edge must not throw the list away.
constexpr double clickMargin = 8.0;

bool isNearPanel(const QRectF& panelFrame, QPointF point);

// A click seen anywhere on the desktop: hides unless it lands on or near the panel
// (with no panel, hiding only clears what a showing left behind).
bool globalClickHides(const std::optional<QRectF>& panelFrame, QPointF point);

// A click in one of this program's windows while a panel is shown.
enum class LocalClick {
    none,   // on the panel with Option held: the commit on release still applies
    engage, // on the panel without Option: keep it open for mouse use
    hide,   // elsewhere
};
LocalClick localClickAction(const QRectF& panelFrame, QPointF point, bool inPanel, bool optionHeld);

} // namespace PanelKeyRules

} // namespace ostrevane
