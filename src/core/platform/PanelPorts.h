#pragma once

#include "core/platform/PanelOptions.h"

#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSizeF>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ostrevane {

class SearchViewModel;

// Screen geometry in logical pixels, y growing downwards.
struct ScreenInfo {
    QRectF frame;
    QRectF visibleFrame; // without panels, docks and task bars
};

// The screens and the pointer.
class ScreenPort {
public:
    virtual ~ScreenPort() = default;
    // In the platform's order.
    virtual std::vector<ScreenInfo> screens() = 0;
    // The main (primary) screen, when there is one.
    virtual std::optional<ScreenInfo> mainScreen() = 0;
    virtual QPointF pointerLocation() = 0;
};

// One showing's floating panel window: frameless, above normal windows on every
// desktop, able to take keyboard focus, never in a task bar. It hosts the view of the
// view model it was made for.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    // Places the window at `start` fully transparent, brings it to the front with
    // keyboard focus, and animates to `final` and full opacity (0.14 s, ease-out).
    // `completion` runs on the main thread when the animation ends.
    virtual void slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion) = 0;
    // Animates (0.2 s, ease-in) by (width + 16) outward and to transparency, then
    // removes the window from the screen; `completion` runs afterwards.
    virtual void slideOut(std::function<void()> completion) = 0;
    // The window's current frame on screen.
    virtual QRectF frame() const = 0;
    // The showing is decided (a row was opened): the window stops taking keys it has not
    // got focus for, so that a new Alt+Tab reaches the hotkey while the window is still up.
    virtual void yieldKeyboard() = 0;
};

// Makes panel windows; the user interface implements it. A factory may hand out the same
// window again for a later showing: a handle from an earlier makePanel then does nothing
// (its slide-out, if still running, ends at once and reports its completion).
class PanelWindowFactory {
public:
    virtual ~PanelWindowFactory() = default;
    virtual std::unique_ptr<PanelWindow> makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size) = 0;
    // Readies the window for a showing of `viewModel` at `size` without showing it, so that
    // a later showing finds what it draws loaded; nothing while a showing is up. The model
    // need not outlive the call.
    virtual void rehearse(SearchViewModel& /*viewModel*/, PanelEdge /*edge*/, QSizeF /*size*/) {}
};

// A key press as the panel's key handling sees it: the platform-neutral key code of the
// chord table (48 = Tab, 36 = Return, ...), the Carbon modifier mask (Command 0x100,
// Shift 0x200, Option 0x800, Control 0x1000), and whether an input method is composing.
struct PanelKeyEvent {
    quint32 keyCode = 0;
    quint32 carbonModifiers = 0;
    bool composing = false;
};

// Event monitors while the panel is up. Local monitors see events sent to this
// program's windows; global ones see events anywhere on the desktop. All callbacks
// run on the main thread.
class InputMonitors {
public:
    using Token = std::uint64_t;
    virtual ~InputMonitors() = default;
    // Returns true to swallow the key press, false to let it reach the panel's views.
    virtual Token addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)> handler) = 0;
    // Called with whether Option (Alt) is held after each modifier change.
    virtual Token addLocalFlagsMonitor(std::function<void(bool optionHeld)> handler) = 0;
    virtual Token addGlobalFlagsMonitor(std::function<void(bool optionHeld)> handler) = 0;
    // A mouse button press at a screen point; `inPanel` tells whether it hit a panel window.
    virtual Token addLocalClickMonitor(std::function<void(QPointF point, bool inPanel, bool optionHeld)> handler) = 0;
    virtual Token addGlobalClickMonitor(std::function<void(QPointF point)> handler) = 0;
    virtual Token addMouseMovedMonitor(std::function<void()> handler) = 0;
    // Removing an absent token does nothing.
    virtual void remove(Token token) = 0;
    // Whether some Option (Alt) key is down now, as far as this side knows: nothing when
    // it cannot tell. A key event tells only about its own key; with both Alt keys held,
    // releasing one leaves Option held.
    virtual std::optional<bool> isOptionKeyDown() const { return std::nullopt; }
};

// Registers global key chords with the desktop. Presses are reported with the id on any
// thread. Registering a chord that is already registered under another id shares it: it
// stays live until its last id is unregistered.
class HotkeyService {
public:
    enum class Registration {
        live,          // the chord fires from now on
        heldElsewhere, // another program holds it; kept under the id and tried again by retry()
        impossible,    // the keyboard has no such key (or there is no desktop): nothing is kept
    };

    virtual ~HotkeyService() = default;
    virtual Registration registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id) = 0;
    // Forgets the id (a waiting chord stops waiting); unknown ids do nothing.
    virtual void unregisterChord(std::uint32_t id) = 0;
    // Whether the chord registered under `id` is live now.
    virtual bool isLive(std::uint32_t id) const = 0;
    // Tries every waiting chord again; true while some chord still waits.
    virtual bool retry() = 0;
    // Installs the one handler of chord presses (called once per process).
    virtual void setPressHandler(std::function<void(std::uint32_t id)> handler) = 0;
    // Installs the one handler told when a chord starts waiting by itself (a keyboard
    // change made it collide with another program's), so its owner retries it.
    virtual void setWaitingHandler(std::function<void()> handler) = 0;
};

// Whether the desktop composites windows, and how a window is cut to an outline where it
// does not. Without a compositing manager nothing of a window is see-through: what it
// leaves transparent shows as black, so a window that is not rectangular is cut to its
// outline instead.
class WindowCompositing {
public:
    using Token = std::uint64_t;
    virtual ~WindowCompositing() = default;
    // Whether a compositing manager runs on the screen the panel is shown on.
    virtual bool isCompositing() = 0;
    // Told, on the main thread, each time a compositing manager comes or goes.
    virtual Token observe(std::function<void(bool compositing)> observer) = 0;
    virtual void removeObserver(Token token) = 0;
    // Cuts the native window `window` to `outline` (device pixels, window coordinates)
    // for drawing and input; an empty outline makes it whole again.
    virtual void setOutline(quintptr window, const QRegion& outline) = 0;
};

// Small desktop services of the user interface.
class UserFeedback {
public:
    virtual ~UserFeedback() = default;
    virtual void beep() = 0;
};

} // namespace ostrevane
