#pragma once

#include "core/model/PanelSettings.h"

#include <QPainterPath>
#include <QRectF>
#include <QRegion>
#include <QSize>

namespace ostrevane {

// The outline of the switcher panel: flush with the screen edge on its outer side, with
// rounded inner corners and, on its inner side, a bump that points at the highlighted row.
struct PanelWaveShape {
    // Width kept beside the content for the bump (also the inset of the inner side).
    static constexpr double waveOutset = 14;
    static constexpr double cornerRadius = 28;
    static constexpr double halfWaveLength = 58;
    static constexpr double waveHeight = 11;
    // The bump's centre never comes closer than this to the top or bottom: a corner and
    // half a bump.
    static constexpr double centerMargin = cornerRadius + halfWaveLength;

    PanelEdge edge = PanelEdge::right;
    double selectedCenterY = 0;

    // The closed outline in `rect`. The bump is centred at `selectedCenterY` clamped
    // into [rect.top + 86, rect.bottom - 86]; when the rect is shorter than that range
    // allows, the lower bound wins.
    QPainterPath path(const QRectF& rect) const;

    // The centre the bump is actually drawn at.
    static double clampedCenter(const QRectF& rect, double centerY);

    // The device pixels of a window `pixels` large that `outline` (in points, drawn at
    // `dpr` pixels per point) covers at least half of: the region a window is cut to
    // where it cannot be see-through, so that its edge follows the curves as drawn.
    static QRegion pixelRegion(const QPainterPath& outline, QSize pixels, double dpr);
};

} // namespace ostrevane
