#pragma once

#include "core/platform/Alerts.h"

namespace ostrevane {

// Modal alerts as message boxes: an ordinary window in front, the first button the
// default one, Escape choosing the last.
class QtAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;
};

} // namespace ostrevane
