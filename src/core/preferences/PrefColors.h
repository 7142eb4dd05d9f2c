#pragma once

#include <QColor>

namespace ostrevane {

// The fixed colours of the preferences window (sRGB; opaque unless an opacity is given).
namespace PrefColors {
inline QColor window() { return QColor::fromRgbF(0.08f, 0.09f, 0.11f); }
inline QColor sidebar() { return QColor::fromRgbF(0.1f, 0.12f, 0.15f); }
inline QColor card() { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.08f); }
inline QColor cardBorder() { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.1f); }
inline QColor primary() { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.92f); }
inline QColor secondary() { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.6f); }
inline QColor tertiary() { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.38f); }
} // namespace PrefColors

} // namespace ostrevane
