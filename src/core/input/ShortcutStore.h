#pragma once

#include "core/input/HotkeySettings.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace ostrevane {

// The nine configurable panel actions. Declaration order is the display order and the
// order of every loop over all actions.
enum class ShortcutAction { moveUp, moveDown, openSelected, search, cancel, closeSelected, enterGroup, back, desktop };

// How the shortcuts editor groups the actions: the first five navigate, the last four act.
enum class ShortcutGroup { navigation, actions };

namespace ShortcutActions {
const QList<ShortcutAction>& allCases();
// The raw value ("moveUp", ...), also the action's identity and its stored member name.
QString rawValue(ShortcutAction action);
inline QString id(ShortcutAction action) { return rawValue(action); }
// Nothing for a name that is not an action (for example one from another version).
std::optional<ShortcutAction> fromRawValue(const QString& raw);
// Title and help text in the current language.
QString title(ShortcutAction action);
QString detail(ShortcutAction action);
ShortcutGroup group(ShortcutAction action);
HotkeyConfig defaultChord(ShortcutAction action);
} // namespace ShortcutActions

namespace ShortcutGroups {
const QList<ShortcutGroup>& allCases();
// The case name: "navigation" or "actions".
QString id(ShortcutGroup group);
// "Navigation" or "Actions" in the current language.
QString title(ShortcutGroup group);
// The group's actions in action order.
QList<ShortcutAction> actions(ShortcutGroup group);
} // namespace ShortcutGroups

// Chords by action; iteration follows action order.
using ShortcutMap = std::map<ShortcutAction, HotkeyConfig>;

// A candidate chord that another action already uses.
struct ShortcutConflict {
    ShortcutAction action;
    QString message; // "Conflicts with <title>", localized
};

// The user's overrides of the default chords, kept as one JSON object under
// "Ostrevane.Shortcuts.v1" in the current runtime's user defaults. Never cached.
namespace ShortcutStore {
inline const QString defaultsKey = QStringLiteral("Ostrevane.Shortcuts.v1");

// The stored overrides. Member names that are not actions are dropped; a missing key,
// or a blob that is not a JSON object of valid chords, gives no overrides at all.
ShortcutMap all();
// Every action's chord, override or default: always nine entries.
ShortcutMap allResolved();
// The overrides a stored blob holds, with the rules of all(); nothing when the blob is
// not a JSON object of valid chords (or nests deeper than InputLimits allow).
std::optional<ShortcutMap> decode(const QByteArray& blob);
// Stores `chord` for `action` on top of the readable overrides, then posts
// "Ostrevane.shortcutsChanged". An unreadable blob is replaced by this one override.
void set(const HotkeyConfig& chord, ShortcutAction action);
// Removes every override, then posts "Ostrevane.shortcutsChanged".
void resetAll();
// Writes `overrides` as the stored blob; posts nothing.
void save(const ShortcutMap& overrides);

// The first other action, in action order, whose chord in `current` equals `candidate`.
// openSelected and search may share a chord and never conflict with each other.
// Actions missing from `current` count with their default chord.
std::optional<ShortcutConflict> conflict(ShortcutAction action, const HotkeyConfig& candidate,
                                         const ShortcutMap& current);
} // namespace ShortcutStore

} // namespace ostrevane
