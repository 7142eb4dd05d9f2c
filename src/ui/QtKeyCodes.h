#pragma once

#include <QtGlobal>
#include <qnamespace.h>

#include <optional>

namespace ostrevane {

// Translates Qt key events to the platform-neutral chord vocabulary: the virtual key codes
// of the key-name table (0 = A, 48 = Tab, 36 = Return, 76 = keypad Enter, 123..126 arrows)
// and Carbon modifier masks (Command 0x100 = Super/Meta, Shift 0x200, Option 0x800 = Alt,
// Control 0x1000).
namespace QtKeyCodes {

// The key code of a Qt key. Keys are recognised by the symbol they type on a Latin layout;
// shifted symbols map to the key that carries them on a US keyboard ("!" is the 1 key);
// digits, Enter and operators with the keypad modifier map to the keypad's keys. When the
// Qt key is not a Latin key (a Cyrillic or Greek layout), the X key code of the physical key
// decides, so shortcuts keep working on every layout. Nothing for keys the table lacks.
std::optional<quint32> keyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode);

// The Carbon mask of Qt modifiers: Shift, Control, Alt and Meta only (the keypad and group
// switch modifiers never count).
quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);

} // namespace QtKeyCodes

} // namespace ostrevane
