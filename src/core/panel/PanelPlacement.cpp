#include "core/panel/PanelPlacement.h"

#include "core/model/PanelSettings.h"

#include <algorithm>

namespace ostrevane {

PanelLayoutSettings PanelLayoutSettings::current()
{
    return {PanelSettings::display(), PanelSettings::edge(), PanelSettings::width(), PanelSettings::fontSize()};
}

double panelWindowWidth(PanelWidth width)
{
    switch (width) {
    case PanelWidth::compact:
        return 304;
    case PanelWidth::wide:
        return 414;
    case PanelWidth::normal:
        break;
    }
    return 354;
}

double panelFontScale(PanelFontSize fontSize)
{
    switch (fontSize) {
    case PanelFontSize::small:
        return 0.9;
    case PanelFontSize::large:
        return 1.16;
    case PanelFontSize::normal:
        break;
    }
    return 1.0;
}

namespace {

constexpr int minimumRowsForHeight = 5;
constexpr int maximumRowsForHeight = 11;
constexpr double maximumScreenShare = 0.82;
constexpr double maximumHeightAtScaleOne = 620;
// Header, footer and row heights at scale one, and the fixed padding.
constexpr double headerHeight = 24, footerHeight = 58, rowHeight = 48, framePadding = 10;

std::optional<ScreenInfo> chooseScreen(const std::vector<ScreenInfo>& screens, const std::optional<ScreenInfo>& main,
                                       QPointF pointer, PanelDisplay display)
{
    const std::optional<ScreenInfo> fallback = screens.empty() ? main : std::optional(screens.front());
    if (display != PanelDisplay::pointer)
        return fallback;
    for (const ScreenInfo& screen : screens)
        if (screen.frame.contains(pointer))
            return screen;
    return fallback;
}

double panelHeight(double visibleHeight, double scale, int itemCount)
{
    const int rows = std::clamp(itemCount, minimumRowsForHeight, maximumRowsForHeight);
    const double content = headerHeight * scale + footerHeight * scale + rowHeight * scale * rows + framePadding;
    return std::min(std::min(visibleHeight * maximumScreenShare, maximumHeightAtScaleOne * scale), content);
}

} // namespace

std::optional<PanelPlacement> panelPlacement(const std::vector<ScreenInfo>& screens,
                                                                      const std::optional<ScreenInfo>& mainScreen,
                                                                      QPointF pointer,
                                                                      const PanelLayoutSettings& settings, int itemCount)
{
    const std::optional<ScreenInfo> screen = chooseScreen(screens, mainScreen, pointer, settings.display);
    if (!screen)
        return std::nullopt;
    const QRectF& visible = screen->visibleFrame;
    const double width = panelWindowWidth(settings.width);
    const double height = panelHeight(visible.height(), panelFontScale(settings.fontSize), itemCount);
    const bool right = settings.edge == PanelEdge::right;
    const QRectF final(right ? visible.right() - width : visible.left(), visible.center().y() - height / 2, width,
                       height);
    return PanelPlacement{final.translated(right ? panelSlideInOffset : -panelSlideInOffset, 0), final, settings.edge};
}

} // namespace ostrevane
