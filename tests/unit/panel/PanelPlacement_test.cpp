#include "core/panel/PanelPlacement.h"

#include <gtest/gtest.h>

using namespace ostrevane;

void PrintTo(const QRectF& r, std::ostream* out)
{
    *out << '(' << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ')';
}

namespace {

const ScreenInfo mainScreen{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};
const ScreenInfo sideScreen{QRectF(1440, 0, 1920, 1200), QRectF(1440, 0, 1920, 1160)};

} // namespace

TEST(PanelPlacement, FrameFollowsScreenEdgeWidthAndFontSettings)
{
    using D = PanelDisplay;
    using E = PanelEdge;
    using W = PanelWidth;
    using F = PanelFontSize;
    const struct {
        const char* name;
        std::vector<ScreenInfo> screens;
        std::optional<ScreenInfo> main;
        QPointF pointer;
        PanelLayoutSettings settings;
        int items;
        QRectF final;
        double startX;
    } rows[] = {
        {"pointer on the side screen, left edge, compact", {mainScreen, sideScreen}, mainScreen, {2000, 600},
         {D::pointer, E::left, W::compact, F::normal}, 11, QRectF(1440, 270, 304, 620), 1398},
        {"pointer off every screen falls back to the first", {sideScreen, mainScreen}, mainScreen, {-50, -50},
         {D::pointer, E::left, W::normal, F::normal}, 0, QRectF(1440, 414, 354, 332), 1398},
        {"20 rows at large font reach 717.6 on a tall screen", {sideScreen}, std::nullopt, {1500, 10},
         {D::pointer, E::right, W::normal, F::large}, 20, QRectF(3006, 221.2, 354, 717.6), 3048},
        {"small font on a short screen is capped at 82 % of it",
         {ScreenInfo{QRectF(0, 0, 800, 500), QRectF(0, 0, 800, 500)}}, std::nullopt, {1, 1},
         {D::pointer, E::right, W::normal, F::small}, 11, QRectF(446, 45, 354, 410), 488},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto placement =
            panelPlacement(row.screens, row.main, row.pointer, row.settings, row.items);
        ASSERT_TRUE(placement);
        EXPECT_EQ(placement->final, row.final);
        EXPECT_EQ(placement->start, row.final.translated(row.startX - row.final.x(), 0));
    }
    EXPECT_FALSE(panelPlacement({}, std::nullopt, {0, 0}, PanelLayoutSettings{}, 3));
}
