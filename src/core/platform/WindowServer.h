#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"

#include <QString>

#include <cstdint>
#include <functional>
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
    using Token = std::uint64_t;
    using PictureObserver = std::function<void(quint32 windowNumber, ImageHandle picture)>;

    virtual ~WindowServer() = default;
    // On-screen windows, desktop elements excluded, front to back.
    virtual std::vector<WindowListEntry> windowList() = 0;
    // Whether capture is allowed, asked without prompting anyone.
    virtual bool preflightScreenCaptureAccess() = 0;
    // The window's own contents at best resolution, or null when it cannot be captured. A
    // window that has left the screen (iconified, or on a desktop not shown) gives the
    // picture taken as it left, when there is one.
    virtual ImageHandle captureWindow(quint32 windowNumber) = 0;
    // Called, on any thread, with the picture of a window taken as it left the screen: the
    // last one of it while it could be seen; with no picture once the window is gone.
    virtual Token observeLeavingPictures(PictureObserver observer) = 0;
    virtual void removeObserver(Token token) = 0;
};

} // namespace ostrevane
