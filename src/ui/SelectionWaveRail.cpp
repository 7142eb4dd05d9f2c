#include "ui/SelectionWaveRail.h"

#include <algorithm>

namespace ostrevane {

namespace {

constexpr double endInset = 8;
constexpr double controlInset = 2;
constexpr double halfLength = 21;
constexpr double controlOffset = 9;

} // namespace

QPainterPath SelectionWaveRail::path(const QRectF& rect) const
{
    // std::clamp would be undefined on a rect shorter than both margins; raise, then lower.
    const double y = rect.top()
        + std::min(std::max(selectedCenterY, centerMargin), rect.height() - centerMargin);
    const double x = rect.left() + endInset;
    const double cx = rect.left() + controlInset;
    QPainterPath p;
    p.moveTo(x, y - halfLength);
    p.cubicTo(cx, y - controlOffset, cx, y + controlOffset, x, y + halfLength);
    return p;
}

} // namespace ostrevane
