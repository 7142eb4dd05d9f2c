#pragma once

#include "core/platform/WindowServer.h"
#include "platform/x11/X11Clients.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace ostrevane {

class Dispatcher;
class SerialQueue;

// The window list and window capture on X11.
//
// windowList: managed windows that are on screen (not iconified; docks and desktop
// windows left out), topmost first, each with its owner's WM_CLASS class (or instance)
// as owner name and its pid.
//
// captureWindow: the window's own contents through the Composite extension (the
// window is redirected automatically once, so covered parts show their real content),
// else a plain read of the screen; depth-32 windows come back with alpha. Vanished
// windows, and depths other than 24 and 32, give null. The image is scaled down on the
// calling thread so its long side is at most `maxThumbnailSide` pixels, which keeps a
// hundred thumbnails within a few megabytes. Safe on any thread.
//
// Pictures of windows leaving the screen: an iconified window (or one on a desktop not
// shown) is unmapped and cannot be read any more, and no event comes before it goes.
// So while a managed window is on screen, a name is held for its off-screen contents
// (Composite's named window pixmap): it shares the window's storage, costing nothing,
// and keeps the last contents once the window is unmapped. The name is taken when a
// window appears or is mapped again, and renewed when it is resized. When the window
// is unmapped, its picture is read from the name, kept for captureWindow() and handed to
// the leaving-picture observers; the name is then let go. The work runs on a serial
// background queue, in the order of the events.
class X11WindowServer : public WindowServer {
public:
    // The rows draw a window's picture in 40 px: twice that, with room, keeps it sharp on
    // double-density screens.
    static constexpr int maxThumbnailSide = 96;

    X11WindowServer(std::shared_ptr<X11Clients> clients, Dispatcher& dispatcher);
    ~X11WindowServer() override;
    X11WindowServer(const X11WindowServer&) = delete;
    X11WindowServer& operator=(const X11WindowServer&) = delete;

    std::vector<WindowListEntry> windowList() override;
    bool preflightScreenCaptureAccess() override { return true; }
    ImageHandle captureWindow(quint32 windowNumber) override;
    Token observeLeavingPictures(PictureObserver observer) override;
    void removeObserver(Token token) override;

    // Whether the contents of `window` are followed, so that it leaves a picture (for tests).
    bool isFollowing(xcb_window_t window) const;

private:
    struct Geometry {
        quint16 width = 0;
        quint16 height = 0;
        quint8 depth = 0;
    };
    // A window on screen whose contents are named.
    struct Follow {
        xcb_pixmap_t pixmap = XCB_NONE;
        Geometry geometry;
    };
    // Queued work runs only while the server exists; its destruction waits for a running task.
    struct Liveness {
        std::mutex lock;
        bool alive = true;
    };

    // `exists` (optional) tells whether the window is still there at all.
    std::optional<Geometry> geometry(xcb_window_t window, bool* exists = nullptr) const;
    ImageHandle captureComposited(xcb_window_t window, const Geometry& geometry);
    ImageHandle captureDrawable(xcb_drawable_t drawable, const Geometry& geometry) const;
    bool redirectOnce(xcb_window_t window);

    void onEvent(const xcb_generic_event_t& event);
    void later(std::function<void(X11WindowServer&)> task);
    void followNewClients();
    void follow(xcb_window_t window);
    void leave(xcb_window_t window);
    void forget(xcb_window_t window);
    void tellObservers(xcb_window_t window, const ImageHandle& picture);

    std::shared_ptr<X11Clients> m_clients;
    std::shared_ptr<SerialQueue> m_queue;
    X11Connection::Token m_eventToken = 0;
    std::shared_ptr<Liveness> m_liveness;
    mutable std::mutex m_lock; // guards the three fields below
    std::unordered_set<xcb_window_t> m_redirected;
    std::map<xcb_window_t, Follow> m_followed;       // named contents of windows on screen
    std::map<xcb_window_t, ImageHandle> m_leftPictures; // of windows that left the screen
    std::mutex m_observerLock; // held while observers run, so removal waits for them
    std::map<Token, PictureObserver> m_observers;
    Token m_lastToken = 0;
};

} // namespace ostrevane
