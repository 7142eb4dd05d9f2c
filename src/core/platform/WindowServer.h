#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"

#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

// One entry of the window server's on-screen window list.
struct WindowListEntry {
    std::optional<QString> ownerName;
    std::optional<ProcessID> ownerPID;
};

// The window server port: the window list and single-window capture.
class WindowServer {
public:
    virtual ~WindowServer() = default;
    // On-screen windows, desktop elements excluded, front to back.
    virtual std::vector<WindowListEntry> windowList() = 0;
    // Whether capture is allowed, asked without prompting anyone.
    virtual bool preflightScreenCaptureAccess() = 0;
    // The window's own contents at best resolution, or null when it cannot be captured.
    virtual ImageHandle captureWindow(quint32 windowNumber) = 0;
};

} // namespace ostrevane
