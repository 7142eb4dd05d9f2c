#pragma once

#include "core/platform/PanelPorts.h"
#include "platform/x11/X11Keys.h"

#include <QAbstractNativeEventFilter>
#include <QSet>

#include <map>

namespace ostrevane {

// Global chords on X11: a passive grab of the key with the chord's modifiers on the root
// window, once for every combination of Caps Lock and Num Lock. The grab does not report
// the press to the focused window (owner_events off), so a chord always reaches the
// handler, whichever window has focus. A chord another client holds (usually the window
// manager's own Alt+Tab) cannot be grabbed: registration fails silently and is logged once
// with a hint. Uses Qt's own xcb connection; without one (another Qt platform) every
// registration fails. Main thread only: presses are reported from Qt's event loop.
class X11HotkeyService : public HotkeyService, public QAbstractNativeEventFilter {
public:
    X11HotkeyService();
    ~X11HotkeyService() override;

    std::optional<std::uint32_t> registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id) override;
    void unregisterChord(std::uint32_t id) override;
    void setPressHandler(std::function<void(std::uint32_t id)> handler) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        std::vector<xcb_keycode_t> keycodes;
        quint16 modifiers = 0;
        quint32 carbonModifiers = 0;
        quint32 keyCode = 0;
    };
    bool grab(const Grab& chord);
    void ungrab(const Grab& chord);
    void logOnce(const Grab& chord, const char* why);
    bool handleKeyPress(const xcb_key_press_event_t& event);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::map<std::uint32_t, Grab> m_grabs;
    std::function<void(std::uint32_t)> m_handler;
    QSet<quint64> m_logged; // chords already reported as unavailable
};

} // namespace ostrevane
