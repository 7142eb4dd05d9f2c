#include "ui/PanelStyle.h"

#include "core/panel/PanelPlacement.h"

#include <QFontMetricsF>
#include <QPainter>

#include <array>

namespace ostrevane::PanelStyle {

namespace {

// Indexed by TextRole.
constexpr std::array<double, 20> baseSizes{
    13.4, 12.8, 11.2, 11, 20, 13, 14, 12.5, 14.2, 22, 12.8, 9, 28, 24, 13, 11, 12, 10, 10.2, 6,
};

constexpr double pointsPerInch = 72.0;
constexpr int shadowLayers = 8;

} // namespace

double baseSize(TextRole role) { return baseSizes.at(static_cast<size_t>(role)); }

double fontScale(PanelFontSize size)
{
    // One table for the panel's frame and its texts.
    return panelFontScale(size);
}

double scaledSize(TextRole role, double scale) { return baseSize(role) * scale; }

QFont font(double pixels, QFont::Weight weight, double dpi)
{
    QFont f;
    // Point sizes keep fractions, pixel sizes do not: express the pixels in points.
    f.setPointSizeF(pixels * pointsPerInch / (dpi > 0 ? dpi : 96.0));
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferVerticalHinting);
    return f;
}

QFont font(TextRole role, double scale, QFont::Weight weight, double dpi)
{
    return font(scaledSize(role, scale), weight, dpi);
}

QColor white(double opacity)
{
    QColor c(255, 255, 255);
    c.setAlphaF(static_cast<float>(opacity));
    return c;
}

QColor black(double opacity)
{
    QColor c(0, 0, 0);
    c.setAlphaF(static_cast<float>(opacity));
    return c;
}

QColor accent(double opacity)
{
    QColor c(10, 132, 255);
    c.setAlphaF(static_cast<float>(opacity));
    return c;
}

void paintSoftShadow(QPainter& painter, const QPainterPath& path, QPointF offset, double radius, double opacity)
{
    painter.save();
    painter.translate(offset);
    painter.setBrush(Qt::NoBrush);
    // Wide faint strokes first, narrow ones on top: the darkness falls off with distance.
    for (int i = shadowLayers; i >= 1; --i) {
        const double width = 2 * radius * i / shadowLayers;
        painter.setPen(QPen(black(opacity / shadowLayers), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(black(opacity));
    painter.drawPath(path);
    painter.restore();
}

double keyCapWidth(const QString& label, const QFont& font, double height)
{
    return std::max(height, QFontMetricsF(font).horizontalAdvance(label) + height * 0.6);
}

void paintKeyCap(QPainter& painter, const QRectF& rect, const QString& label, const QFont& font, double emphasis)
{
    painter.save();
    const double lift = 1.5 * emphasis;
    const QRectF face = rect.translated(0, -lift);
    const double radius = std::min(rect.height() * 0.26, 7.0);
    // The key's side, visible under the face like a real cap.
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(0.10));
    painter.drawRoundedRect(rect.translated(0, 1.5), radius, radius);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, white(0.22 + 0.16 * emphasis));
    fill.setColorAt(1, white(0.12 + 0.12 * emphasis));
    painter.setBrush(fill);
    painter.setPen(QPen(white(0.18 + 0.3 * emphasis), 1));
    painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.setFont(font);
    painter.setPen(white(0.82 + 0.18 * emphasis));
    painter.drawText(face, Qt::AlignCenter, label);
    painter.restore();
}

} // namespace ostrevane::PanelStyle
