#pragma once

#include "core/model/PanelSettings.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

namespace ostrevane {

// The look of the switcher panel and the guide: text sizes, colours and the few drawing
// helpers several views share. Sizes are in points at the normal font size; one point is
// one logical pixel.
namespace PanelStyle {

// Every text of the panel, with its base size.
enum class TextRole {
    rowTitle,           // 13.4, window and app rows
    tabRowTitle,        // 12.8
    rowSubtitle,        // 11.2
    countBadge,         // 11
    closeHitArea,       // 20
    closeSymbol,        // 13
    headerSearch,       // 14
    headerHint,         // 12.5, also the back chip
    headerCapsule,      // 14.2
    groupTitle,         // 22
    groupSubtitle,      // 12.8
    footerHint,         // 9, also the list boundary hints
    emptySymbolNoItems, // 28
    emptySymbolNoMatches, // 24
    emptyTitle,         // 13
    emptyDetail,        // 11
    noMatches,          // 12
    bannerSymbol,       // 10
    bannerText,         // 10.2
    iconBadge,          // 6
};

double baseSize(TextRole role);
// The panel's font scale: 0.9, 1.0 or 1.16.
double fontScale(PanelFontSize size);
// The size a text is drawn at: its base size times the scale.
double scaledSize(TextRole role, double scale);
// A font of `pixels` logical pixels (fractional sizes kept) for a device of `dpi` dots per inch.
QFont font(double pixels, QFont::Weight weight, double dpi);
// The role's font at a scale; weight as given.
QFont font(TextRole role, double scale, QFont::Weight weight, double dpi);

// White at an opacity: the panel draws all its text and strokes this way.
QColor white(double opacity);
QColor black(double opacity);
// The accent of progress dots and the guide's buttons.
QColor accent(double opacity = 1.0);

// A soft shadow under `path`, faked with a few widening translucent strokes (enough for
// the thin strip where it shows, and cheap enough for every animation frame).
void paintSoftShadow(QPainter& painter, const QPainterPath& path, QPointF offset, double radius, double opacity);

// A keyboard key cap with its label centred; `emphasis` 0..1 lifts it (the pulse).
void paintKeyCap(QPainter& painter, const QRectF& rect, const QString& label, const QFont& font, double emphasis);

// The width a key cap needs for `label`.
double keyCapWidth(const QString& label, const QFont& font, double height);

} // namespace PanelStyle

} // namespace ostrevane
