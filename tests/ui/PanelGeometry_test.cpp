#include "ui/PanelWaveShape.h"
#include "ui/SearchViewLayout.h"
#include "ui/SelectionWaveRail.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <vector>

using namespace ostrevane;

namespace {

std::vector<QPointF> points(const QPainterPath& path)
{
    std::vector<QPointF> result;
    for (int i = 0; i < path.elementCount(); ++i)
        result.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    return result;
}

} // namespace

TEST(PanelWaveShape, ShortPanelKeepsTheBumpBelowTheTopCorner)
{
    // 150 tall: the range [86, 64] is empty; the lower bound of the bump still holds the corner.
    const QRectF shortPanel(0, 0, 304, 150);
    EXPECT_DOUBLE_EQ(PanelWaveShape::clampedCenter(shortPanel, 10), 64);
    for (const QPointF& point : points(PanelWaveShape{PanelEdge::left, 10}.path(shortPanel))) {
        if (point.x() > 290) { // the bump: between the two corners
            EXPECT_GE(point.y(), 28);
            EXPECT_LE(point.y(), 122);
        }
    }
}

// The inner top corner of a right panel curves from (42, 0) through (21, 7) to (14, 28): a
// cut along a coarse polygon would take (24, 10), inside the curve, away. The outline's
// other parts are checked on a real X server.
TEST(PanelWaveShape, CutsAWindowAlongTheCurvesAsDrawnAtAnyPixelDensity)
{
    const QRectF panel(0, 0, 354, 620);
    const QPainterPath outline = PanelWaveShape{PanelEdge::right, 300}.path(panel);
    for (const double dpr : {1.0, 2.0}) {
        const QRegion region = PanelWaveShape::pixelRegion(outline, (panel.size() * dpr).toSize(), dpr);
        const auto covers = [&](double x, double y) { return region.contains(QPoint(int(x * dpr), int(y * dpr))); };
        EXPECT_TRUE(covers(24, 10)) << dpr;
        EXPECT_FALSE(covers(18, 4)) << dpr;
        EXPECT_TRUE(covers(5, 300)) << "the crest of the bump; " << dpr;
        EXPECT_LT(region.rectCount(), 400) << "rows alike are joined; " << dpr;
    }
}

TEST(SelectionWaveRail, StaysTwentyFourFromTheEndsOfItsRail)
{
    EXPECT_EQ(points(SelectionWaveRail{5}.path(QRectF(0, 0, 16, 300)))[0], QPointF(8, 3));
    EXPECT_EQ(points(SelectionWaveRail{295}.path(QRectF(0, 0, 16, 300)))[3], QPointF(8, 297));
}

TEST(SearchViewLayout, KeyboardScrollsLongListsAtTheEndsOrTwoRowsFromTheLastScroll)
{
    using SearchViewLayout::shouldScroll;
    EXPECT_FALSE(shouldScroll(8, 7, 0));   // a short list never scrolls
    EXPECT_TRUE(shouldScroll(20, 19, 19)); // the last row
    EXPECT_FALSE(shouldScroll(20, 6, 5));  // one row from the last scroll
    EXPECT_TRUE(shouldScroll(20, 7, 5));   // two rows from it
    EXPECT_TRUE(shouldScroll(20, 3, 5));   // two rows back up
}

TEST(SearchViewLayout, ScrollingDownAnchorsTheRowLowAndScrollingUpAtTheTop)
{
    // Row top 506 (index 10 of the main list), viewport 300, content 1100.
    EXPECT_NEAR(SearchViewLayout::scrollOffsetShowing(506, 300, 1100, false), 309.44, 1e-9);
    EXPECT_DOUBLE_EQ(SearchViewLayout::scrollOffsetShowing(506, 300, 1100, true), 506);
    // Clamped at both ends of the content.
    EXPECT_DOUBLE_EQ(SearchViewLayout::scrollOffsetShowing(6, 300, 1100, false), 0);
    EXPECT_DOUBLE_EQ(SearchViewLayout::scrollOffsetShowing(1046, 300, 1100, true), 800);
}
