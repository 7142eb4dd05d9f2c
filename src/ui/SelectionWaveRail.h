#pragma once

#include <QPainterPath>
#include <QRectF>

namespace ostrevane {

// A short curved accent stroked along the panel's bump, at the highlighted row.
struct SelectionWaveRail {
    // The rail's centre stays this far from the top and bottom of its rect.
    static constexpr double centerMargin = 24;

    double selectedCenterY = 0;

    // An open path (to be stroked) in `rect`, bending toward rect.left: from
    // (left + 8, y - 21) to (left + 8, y + 21) with y the centre clamped into
    // [24, height - 24] from the rect's top. Mirror the rect's painter for a left panel.
    QPainterPath path(const QRectF& rect) const;
};

} // namespace ostrevane
