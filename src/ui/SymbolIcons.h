#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

namespace ostrevane {

// The symbols the panel and the guide draw ("magnifyingglass", "lock.shield",
// "xmark.circle.fill", ...), from the program's own SVG set, tinted to any colour.
namespace SymbolIcons {

// Whether the set has a symbol of that name.
bool contains(const QString& name);
// The symbol tinted with `color`, `side` logical pixels square at `devicePixelRatio`;
// a null pixmap for an unknown name. Rendered pixmaps are kept for reuse.
QPixmap pixmap(const QString& name, double side, const QColor& color, double devicePixelRatio);
// Draws the symbol centred in `rect` at the largest square that fits.
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);

} // namespace SymbolIcons

} // namespace ostrevane
