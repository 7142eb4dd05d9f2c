#include "ui/PanelWaveShape.h"

#include <algorithm>

namespace ostrevane {

namespace {

// Control-point offsets of the two cubic halves of the bump (a smooth bell 116 long).
constexpr double nearControl = 37.12;
constexpr double farControl = 26.68;

} // namespace

double PanelWaveShape::clampedCenter(const QRectF& rect, double centerY)
{
    // Raise first, then lower: on a very short rect the bump still stays below the top corner.
    return std::min(std::max(centerY, rect.top() + centerMargin), rect.bottom() - centerMargin);
}

QPainterPath PanelWaveShape::path(const QRectF& rect) const
{
    // Drawn for a left panel; a right panel mirrors every horizontal offset, so `sign`
    // turns "toward the screen's interior" into +x or -x.
    const bool left = edge == PanelEdge::left;
    const double sign = left ? 1.0 : -1.0;
    const double outer = left ? rect.left() : rect.right();
    const double xi = left ? rect.right() - waveOutset : rect.left() + waveOutset;
    const double top = rect.top();
    const double bottom = rect.bottom();
    const double yc = clampedCenter(rect, selectedCenterY);
    const double r = cornerRadius;
    const double bump = xi + sign * waveHeight;

    QPainterPath p;
    p.moveTo(outer, top);
    p.lineTo(xi - sign * r, top);
    p.quadTo(xi, top, xi, top + r);
    p.lineTo(xi, std::max(yc - halfWaveLength, top + r));
    p.cubicTo(xi, yc - nearControl, bump, yc - farControl, bump, yc);
    p.cubicTo(bump, yc + farControl, xi, yc + nearControl, xi, std::min(yc + halfWaveLength, bottom - r));
    p.lineTo(xi, bottom - r);
    p.quadTo(xi, bottom, xi - sign * r, bottom);
    p.lineTo(outer, bottom);
    p.closeSubpath();
    return p;
}

} // namespace ostrevane
