#pragma once

#include "core/model/PanelSettings.h"

#include <QRectF>

namespace ostrevane {

// The geometry of the switcher view that does not depend on painting: where lists start,
// where a row sits, where the wave points before anything is measured, and when and how
// far a list scrolls to keep the keyboard's highlight in view. Pure functions.
namespace SearchViewLayout {

constexpr double rowHeight = 48;
constexpr double mainRowSpacing = 2;
constexpr double detailRowSpacing = 4;
// The panel's width kept for the wave (window widths 304, 354, 414 give content 290, 340, 400).
constexpr double panelWaveOutset = 14;
// The footer's height at the normal font size.
constexpr double footerHeight = 24;
// Lists of fewer rows than this keep still while the highlight moves.
constexpr int minimumScrollingRowCount = 9;
// Where a row lands when scrolling down: this fraction of the row sits at this fraction
// of the visible area.
constexpr double downwardScrollAnchor = 0.78;

// Where a list starts below the panel's top, its inner padding and its row spacing.
struct ListMetrics {
    double top;
    double pad;
    double spacing;
};
constexpr ListMetrics mainList{57, 6, mainRowSpacing};
constexpr ListMetrics detailList{150, 8, detailRowSpacing};

inline const ListMetrics& metrics(bool detail) { return detail ? detailList : mainList; }

// The centre of the highlighted row before it has been measured, from the panel's top:
// top + pad + 24 + (spacing + 48) × max(index, 0).
double estimatedPanelWaveY(int selectedIndex, bool detail);

// A row's top inside its list's scrolled content (padding included), and the content's
// height for `count` rows.
double rowTop(int index, const ListMetrics& list);
double contentHeight(int count, const ListMetrics& list);

// The column the content is laid out in: the panel without the wave's outset on the
// inner side (right panels keep it on the left).
QRectF contentColumn(const QRectF& panel, PanelEdge edge);

// Whether moving the keyboard's highlight to `index` scrolls a list of `count` rows that
// last scrolled to `lastIndex`: never for short lists, always onto the first two and last
// two rows, otherwise only when the highlight is at least two rows away from `lastIndex`.
bool shouldScroll(int count, int index, int lastIndex);

// The scroll offset that shows the row at `rowTopY` (content coordinates) in a viewport
// of `viewportHeight` over content of `contentHeightY`: with the row's 0.78 point at the
// viewport's 0.78 point when moving down (or staying), with its top at the viewport's top
// when moving up. Clamped to the scrollable range.
double scrollOffsetShowing(double rowTopY, double viewportHeight, double contentHeightY, bool movedUp);

// The offset clamped to [0, content - viewport] (0 when everything fits).
double clampedScrollOffset(double offset, double viewportHeight, double contentHeightY);

// Whether the row at `rowTopY` lies wholly inside the viewport at `offset`.
bool rowFullyVisible(double rowTopY, double offset, double viewportHeight);

} // namespace SearchViewLayout

} // namespace ostrevane
