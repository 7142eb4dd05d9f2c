#pragma once

#include "core/platform/PanelPorts.h"

#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

namespace ostrevane {

// How far outward the panel starts its slide-in (points).
inline constexpr double panelSlideInOffset = 42.0;

// Where the panel goes and how it slides in.
struct PanelPlacement {
    QRectF start; // the final frame shifted panelSlideInOffset outward
    QRectF final;
    PanelEdge edge;
};

// The settings the panel's frame depends on (read at each show).
struct PanelLayoutSettings {
    PanelDisplay display = PanelDisplay::pointer;
    PanelEdge edge = PanelEdge::right;
    PanelWidth width = PanelWidth::normal;
    PanelFontSize fontSize = PanelFontSize::normal;

    static PanelLayoutSettings current();
};

// The frame rule. Screen: the pointer's screen when the setting asks for it and one
// contains the pointer, else the first screen (the main screen when the list is
// empty); none at all gives nothing. Size: the width of the setting by a height for
// `itemCount` rows clamped to 5...11, at most 82 % of the visible height and
// 620 points at the font scale. Vertically centred, flush with the edge.
std::optional<PanelPlacement> panelPlacement(const std::vector<ScreenInfo>& screens,
                                             const std::optional<ScreenInfo>& mainScreen, QPointF pointer,
                                             const PanelLayoutSettings& settings, int itemCount);
// 304, 354 or 414 points.
double panelWindowWidth(PanelWidth width);
// 0.9, 1.0 or 1.16.
double panelFontScale(PanelFontSize fontSize);

} // namespace ostrevane
