#pragma once

#include "core/SwitcherPanelController.h"

namespace ostrevane {

std::vector<SwitchItem> composeList(SwitcherPanelController& controller, const SwitcherPanelController::Sources& sources);

} // namespace ostrevane
