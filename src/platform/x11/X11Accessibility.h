#pragma once

#include "core/platform/Accessibility.h"
#include "platform/x11/X11Clients.h"

#include <memory>

namespace ostrevane {

// The accessibility vocabulary answered from EWMH/ICCCM state:
// - an application element per pid; its "AXWindows" are the pid's task-bar windows
//   (normal or dialog, not skip-taskbar) in stacking order, topmost first, and its
//   "AXFocusedWindow" the active window when the pid owns it;
// - a window's "AXTitle" (_NET_WM_VISIBLE_NAME, _NET_WM_NAME, WM_NAME), "AXRole"
//   "AXWindow", "AXSubrole" "AXDialog" or "AXStandardWindow", "AXMinimized"
//   (_NET_WM_STATE_HIDDEN), "AXOtherDesktop" (_NET_WM_DESKTOP + 1 when not the desktop
//   shown), "AXFocused"/"AXMain" (it is the active window), "AXSheet" (a modal window
//   transient for it), "AXCloseButton" (when the manager allows closing);
// - setting "AXMinimized" true iconifies (WM_CHANGE_STATE), false activates; "AXRaise"
//   activates through _NET_ACTIVE_WINDOW; setting "AXMain" or "AXFocused" asks nothing of
//   the manager (they come with the raise, and each request is a focus and restack);
//   "AXPress" on a close button sends _NET_CLOSE_WINDOW;
// - windowNumber is the X window id; trusted when connected and an EWMH manager runs.
// Window reads answer from X11Clients' snapshot, so an enumeration costs the same few
// round trips for any number of windows. Windows that vanished read as absent; writes
// and actions on them do nothing. Every call may come from any thread.
class X11Accessibility : public Accessibility {
public:
    explicit X11Accessibility(std::shared_ptr<X11Clients> clients);

    bool isProcessTrusted() override;
    AXElement createApplication(ProcessID pid) override;
    AXValue copyAttribute(const AXElement& element, const QString& attribute) override;
    void setBool(const AXElement& element, const QString& attribute, bool value) override;
    void perform(const AXElement& element, const QString& action) override;
    std::optional<quint32> windowNumber(const AXElement& element) override;

    // The element of one X window owned by `pid` (for the backend's own callers).
    static AXElement windowElement(xcb_window_t window, ProcessID pid);
    // The process owning a window element of this port; none for any other element.
    static std::optional<ProcessID> windowOwner(const AXElement& element);

private:
    AXValue applicationAttribute(ProcessID pid, const QString& attribute);
    AXValue windowAttribute(xcb_window_t window, ProcessID pid, const QString& attribute);
    std::vector<AXElement> windowsOf(ProcessID pid);
    AXElement sheetOf(xcb_window_t window, ProcessID pid);

    std::shared_ptr<X11Clients> m_clients;
};

} // namespace ostrevane
