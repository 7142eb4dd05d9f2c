#pragma once

#include "core/shell/PlatformProfile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

namespace ostrevane {

// Carbon modifier masks, the form every stored chord uses on every platform
// (Option is Alt, Command is Super).
namespace CarbonModifier {
constexpr quint32 command = 0x100;
constexpr quint32 shift = 0x200;
constexpr quint32 option = 0x800;
constexpr quint32 control = 0x1000;
} // namespace CarbonModifier

// Device-independent event modifier flags, as key events report them.
namespace ModifierFlag {
constexpr quint64 shift = 0x20000;
constexpr quint64 control = 0x40000;
constexpr quint64 option = 0x80000;
constexpr quint64 command = 0x100000;
} // namespace ModifierFlag

// A key chord: a virtual key code (48 = Tab, 36 = Return, 53 = Escape, 0 = A) and a
// Carbon modifier mask. The activation hotkey and every in-panel shortcut are chords.
struct HotkeyConfig {
    static constexpr quint32 tabKeyCode = 48;

    quint32 keyCode = tabKeyCode;
    quint32 carbonModifiers = CarbonModifier::option;

    // Option+Tab.
    static HotkeyConfig defaultConfig() { return {}; }

    friend bool operator==(const HotkeyConfig&, const HotkeyConfig&) = default;

    // The chord as the current desktop writes it (its profile's chord style; glyphs when
    // no runtime is installed).
    QString displayString() const;
    // Glyphs: modifier symbols in the order ⌃ ⌥ ⇧ ⌘ (each only when set), then the key's
    // name from KeyCodeNames, without separators: the default reads "⌥⇥". Words: the
    // modifiers Ctrl, Alt, Shift, Super in that order, then the key, joined by "+":
    // "Alt+Tab", "Ctrl+Alt+Shift+Super+Space".
    QString displayString(ChordStyle style) const;

    // {"keyCode": 48, "carbonModifiers": 2048}.
    QJsonObject toJson() const;
    // Both members are required and must be whole numbers in the unsigned 32-bit
    // range; anything else decodes to nothing. Other members are ignored.
    static std::optional<HotkeyConfig> fromJson(const QJsonValue& value);

    // The JSON text as stored in the settings.
    QByteArray encode() const;
    static std::optional<HotkeyConfig> decode(const QByteArray& json);
};

// The Carbon mask of event modifier flags: Shift, Control, Option and Command map to
// their masks; every other flag (caps lock, function, numeric pad) is ignored.
quint32 carbonFlags(quint64 modifierFlags);

// The name of one Carbon modifier bit in `style`: "⌥" or "Alt" for Option, "⌘" or "Super"
// for Command, "⌃" or "Ctrl", "⇧" or "Shift".
QString modifierName(quint32 carbonModifier, ChordStyle style);
// The chord style of the installed runtime's profile; glyphs when none is installed.
ChordStyle currentChordStyle();

// The stored activation chord, under "Ostrevane.Hotkey" in the current runtime's
// user defaults. Never cached: every read decodes the stored blob afresh.
namespace HotkeyStore {
inline const QString defaultsKey = QStringLiteral("Ostrevane.Hotkey");

// The stored chord; Option+Tab when nothing is stored or the blob does not decode.
HotkeyConfig current();
// Stores the chord and posts "Ostrevane.hotkeyChanged", also when it is unchanged
// (the owner of the global hotkey rebuilds it on every post).
void setCurrent(const HotkeyConfig& config);
} // namespace HotkeyStore

} // namespace ostrevane
