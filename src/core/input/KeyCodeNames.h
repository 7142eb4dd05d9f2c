#pragma once

#include "core/shell/PlatformProfile.h"

#include <QString>

#include <map>

namespace ostrevane {

// Display names of virtual key codes.
namespace KeyCodeNames {
// The 68 named keys.
const std::map<quint32, QString>& table();
// The key's name, or "Key#" and the decimal code for a key without one ("Key#76").
QString name(quint32 keyCode);
// The name in a chord style: words name the keys the table draws as symbols ("Tab",
// "Enter", "Esc", "Backspace", "Left", "Right", "Down", "Up"); glyphs are name(keyCode).
QString name(quint32 keyCode, ChordStyle style);
} // namespace KeyCodeNames

} // namespace ostrevane
