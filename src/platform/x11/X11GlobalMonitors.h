#pragma once

#include "core/platform/PanelPorts.h"
#include "platform/x11/X11Keys.h"

#include <QAbstractNativeEventFilter>

#include <chrono>
#include <map>
#include <memory>

namespace ostrevane {

// Catches the one Option release a freshly installed modifier monitor cannot see.
//
// The activation chord's press reaches the panel controller through the main queue, and
// the panel and its monitors exist only after that. A quick Alt+Tab releases Alt before
// then: the release event has come and gone, no monitor heard it, and the panel would
// stay up waiting for a release that already happened. So every key press remembers
// whether Option was held, releases that no monitor reported are noted, and a monitor
// installed shortly after a press made with Option is told of the release at once when
// Option is up by then (noted, or read from the server's keymap). The time limit keeps a
// release long past (Alt+F4 an hour ago, then the panel opened from the tray) from
// counting. Pure logic; the times are any monotonic clock.
class OptionReleaseRace {
public:
    using Clock = std::chrono::steady_clock;
    // A monitor installed later than this after the press is not part of the same gesture.
    static constexpr std::chrono::milliseconds gestureWindow{1000};

    // A key other than a modifier went down.
    void keyPressed(bool optionHeld, Clock::time_point now);
    // Option went up; `reported` when a live monitor (local or global) saw it.
    void optionReleased(bool reported);
    // A modifier monitor is being installed: whether it must be told that Option is up.
    bool monitorInstalled(bool optionDownNow, Clock::time_point now);

private:
    bool m_pressedWithOption = false;
    bool m_releaseMissed = false;
    Clock::time_point m_pressedAt{};
};

// The desktop-wide half of the panel's monitors on X11: modifier changes and mouse
// presses anywhere, read as XInput 2 raw events selected on the root window through Qt's
// own xcb connection. Raw events arrive whichever window has focus and even during
// another client's grab, so the Alt release is seen when the panel lacks focus. Modifier
// changes are reported wherever they went (the focus may reach the panel only after the
// key went elsewhere; the controller acts on a release once); clicks on this program's
// own windows are left to the local monitors. Local monitors are not offered here
// (their tokens do nothing). Main thread only.
class X11GlobalMonitors : public InputMonitors, public QAbstractNativeEventFilter {
public:
    X11GlobalMonitors();
    ~X11GlobalMonitors() override;

    // Whether raw events could be selected (an X display with XInput 2).
    bool isAvailable() const { return m_xinputOpcode != 0; }

    Token addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)> handler) override;
    Token addLocalFlagsMonitor(std::function<void(bool optionHeld)> handler) override;
    Token addGlobalFlagsMonitor(std::function<void(bool optionHeld)> handler) override;
    Token addLocalClickMonitor(std::function<void(QPointF point, bool inPanel, bool optionHeld)> handler) override;
    Token addGlobalClickMonitor(std::function<void(QPointF point)> handler) override;
    Token addMouseMovedMonitor(std::function<void()> handler) override;
    void remove(Token token) override;
    // From the raw key events of every keyboard: no round trip.
    std::optional<bool> isOptionKeyDown() const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void selectRawEvents();
    void rawKey(xcb_keycode_t keycode, bool pressed);
    void optionChanged(bool held);
    void rawButton(quint32 button);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    quint8 m_xinputOpcode = 0;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::vector<xcb_keycode_t> m_optionKeysDown;
    OptionReleaseRace m_race;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // held weakly by queued reports
    Token m_lastToken = 0;
    std::map<Token, std::function<void(bool)>> m_flagsMonitors;
    std::map<Token, std::function<void(QPointF)>> m_clickMonitors;
};

} // namespace ostrevane
