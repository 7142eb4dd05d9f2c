#pragma once

#include "core/platform/PanelPorts.h"

namespace ostrevane {

// The desktop's bell through Qt (on X11 the server's bell).
class QtUserFeedback : public UserFeedback {
public:
    void beep() override;
};

} // namespace ostrevane
