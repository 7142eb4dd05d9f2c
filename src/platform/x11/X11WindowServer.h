#pragma once

#include "core/platform/WindowServer.h"
#include "platform/x11/X11Clients.h"

#include <memory>
#include <mutex>
#include <unordered_set>

namespace ostrevane {

// The window list and window capture on X11.
//
// windowList: managed windows that are on screen (not iconified; docks and desktop
// windows left out), topmost first, each with its owner's WM_CLASS class (or instance)
// as owner name and its pid.
//
// captureWindow: the window's own contents through the Composite extension (the
// window is redirected automatically once, so covered parts show their real content),
// else a plain read of the screen; depth-32 windows come back with alpha. Iconified or
// vanished windows, and depths other than 24 and 32, give null. The image is scaled
// down on the calling thread so its long side is at most `maxThumbnailSide` pixels,
// which keeps a hundred thumbnails within a few megabytes. Safe on any thread.
class X11WindowServer : public WindowServer {
public:
    // Twice the panel's largest thumbnail (96 px), for sharp rows on double-density screens.
    static constexpr int maxThumbnailSide = 192;

    explicit X11WindowServer(std::shared_ptr<X11Clients> clients);

    std::vector<WindowListEntry> windowList() override;
    bool preflightScreenCaptureAccess() override { return true; }
    ImageHandle captureWindow(quint32 windowNumber) override;

private:
    struct Geometry;
    std::optional<Geometry> geometry(xcb_window_t window) const;
    ImageHandle captureComposited(xcb_window_t window, const Geometry& geometry);
    ImageHandle captureDrawable(xcb_drawable_t drawable, const Geometry& geometry) const;
    void redirectOnce(xcb_window_t window);

    std::shared_ptr<X11Clients> m_clients;
    std::mutex m_lock; // guards m_redirected
    std::unordered_set<xcb_window_t> m_redirected;
};

} // namespace ostrevane
