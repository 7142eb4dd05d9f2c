#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QRectF>

class QPainter;

namespace ostrevane {

// The tray icon: a swept line that turns into a row of three lines, drawn from its path
// at whatever size and pixel density the tray asks for (no bitmap is scaled), so it is
// sharp at 16, 22, 24 and 32 pixels and on high-density screens.
namespace OstrevaneMenuBarIcon {

// The artwork's box in points; the path is drawn centred in any target.
constexpr double artWidth = 22.0;
constexpr double artHeight = 18.0;
// Sizes the icon offers a tray.
QList<QSize> standardSizes();

// Draws the icon in `color`, centred in `target` at the largest size that fits. Lines
// that run straight across are put on whole device pixels, so they stay sharp.
void paint(QPainter& painter, const QRectF& target, const QColor& color);
// In the application palette's text colour, which reads on the desktop's task bar.
QIcon make();
QIcon make(const QColor& color);

} // namespace OstrevaneMenuBarIcon

} // namespace ostrevane
