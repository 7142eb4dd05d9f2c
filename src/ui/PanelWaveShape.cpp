#include "ui/PanelWaveShape.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace ostrevane {

namespace {

// A pixel belongs to the region when the outline covers at least half of it.
constexpr uchar halfCovered = 128;

// The covered runs of one row of an 8-bit coverage image.
std::vector<std::pair<int, int>> coveredRuns(const uchar* row, int width)
{
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < width;) {
        if (row[x] < halfCovered) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < width && row[x] >= halfCovered)
            ++x;
        runs.emplace_back(start, x - start);
    }
    return runs;
}

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

// Drawn as a coverage image and read back row by row: a polygon approximation of the
// curves would cut visible facets into the corners and the bump. Rows with the same runs
// are joined, which keeps the region to a few dozen rectangles.
QRegion PanelWaveShape::pixelRegion(const QPainterPath& outline, QSize pixels, double dpr)
{
    QImage coverage(pixels, QImage::Format_Alpha8);
    coverage.fill(0);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(dpr, dpr);
        painter.fillPath(outline, Qt::black);
    }
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> previous;
    size_t previousStart = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        std::vector<std::pair<int, int>> runs = coveredRuns(coverage.constScanLine(y), pixels.width());
        if (y > 0 && runs == previous) {
            for (size_t i = previousStart; i < rects.size(); ++i)
                rects[i].setHeight(rects[i].height() + 1);
            continue;
        }
        previousStart = rects.size();
        for (const auto& [x, width] : runs)
            rects.emplace_back(x, y, width, 1);
        previous = std::move(runs);
    }
    QRegion region;
    region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

} // namespace ostrevane
