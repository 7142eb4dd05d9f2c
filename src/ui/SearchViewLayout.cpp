#include "ui/SearchViewLayout.h"

#include <algorithm>

namespace ostrevane::SearchViewLayout {

double estimatedPanelWaveY(int selectedIndex, bool detail)
{
    const ListMetrics& list = metrics(detail);
    return list.top + list.pad + rowHeight / 2 + (list.spacing + rowHeight) * std::max(selectedIndex, 0);
}

double rowTop(int index, const ListMetrics& list) { return list.pad + (list.spacing + rowHeight) * index; }

double contentHeight(int count, const ListMetrics& list)
{
    if (count <= 0)
        return 0;
    return 2 * list.pad + rowHeight * count + list.spacing * (count - 1);
}

QRectF contentColumn(const QRectF& panel, PanelEdge edge)
{
    return edge == PanelEdge::left ? panel.adjusted(0, 0, -panelWaveOutset, 0)
                                   : panel.adjusted(panelWaveOutset, 0, 0, 0);
}

bool shouldScroll(int count, int index, int lastIndex)
{
    if (count < minimumScrollingRowCount)
        return false;
    if (index <= 1 || index >= count - 2)
        return true;
    return std::abs(index - lastIndex) >= 2;
}

double clampedScrollOffset(double offset, double viewportHeight, double contentHeightY)
{
    const double maximum = std::max(0.0, contentHeightY - viewportHeight);
    return std::clamp(offset, 0.0, maximum);
}

double scrollOffsetShowing(double rowTopY, double viewportHeight, double contentHeightY, bool movedUp)
{
    const double offset = movedUp
        ? rowTopY
        : rowTopY + downwardScrollAnchor * rowHeight - downwardScrollAnchor * viewportHeight;
    return clampedScrollOffset(offset, viewportHeight, contentHeightY);
}

bool rowFullyVisible(double rowTopY, double offset, double viewportHeight)
{
    return rowTopY >= offset && rowTopY + rowHeight <= offset + viewportHeight;
}

} // namespace ostrevane::SearchViewLayout
