#pragma once

#include "core/platform/PanelPorts.h"

namespace ostrevane {

// The screens of the Qt application: each screen's geometry as its frame and its available
// geometry (without panels and docks) as the visible frame, in logical pixels; the pointer
// from QCursor.
class QtScreenPort : public ScreenPort {
public:
    std::vector<ScreenInfo> screens() override;
    std::optional<ScreenInfo> mainScreen() override;
    QPointF pointerLocation() override;
};

} // namespace ostrevane
