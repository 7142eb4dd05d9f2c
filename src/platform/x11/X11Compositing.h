#pragma once

#include "core/platform/PanelPorts.h"
#include "platform/x11/X11Connection.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace ostrevane {

class Dispatcher;

// Compositing on X11: a compositing manager owns the selection _NET_WM_CM_S<screen>
// while it runs. Its owner is read at start and followed through XFixes selection
// events (a new owner, or the owner's window or connection going away), so a manager
// that starts or quits later is noticed at once. Outlines are bounding shapes (the SHAPE
// extension), set on the native window through Qt's connection, which made the window;
// the input region follows the bounding one. Without XFixes the state read at start
// stays; without SHAPE outlines are not set. Thread-safe; observers run on the
// dispatcher's main queue.
class X11Compositing : public WindowCompositing {
public:
    X11Compositing(std::shared_ptr<X11Connection> connection, Dispatcher& dispatcher);
    ~X11Compositing() override;
    X11Compositing(const X11Compositing&) = delete;
    X11Compositing& operator=(const X11Compositing&) = delete;

    bool isCompositing() override { return m_compositing.load(); }
    Token observe(std::function<void(bool compositing)> observer) override;
    void removeObserver(Token token) override;
    void setOutline(quintptr window, const QRegion& outline) override;

private:
    struct Observers;

    void watchSelection();
    bool ownerExists() const;
    void onEvent(const xcb_generic_event_t& event);
    void announce(bool compositing);

    std::shared_ptr<X11Connection> m_connection;
    Dispatcher& m_dispatcher;
    xcb_atom_t m_selection = XCB_NONE;
    quint8 m_selectionEvent = 0; // XFixes SelectionNotify, 0 without XFixes
    bool m_hasShape = false;
    std::atomic<bool> m_compositing = false;
    X11Connection::Token m_eventToken = 0;
    std::shared_ptr<Observers> m_observers; // held weakly by queued notifications
};

} // namespace ostrevane
