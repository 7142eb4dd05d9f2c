#pragma once

#include "core/platform/PanelPorts.h"
#include "platform/x11/X11Keys.h"

#include <QAbstractNativeEventFilter>
#include <QSet>

#include <list>
#include <memory>

namespace ostrevane {

// Global chords on X11: a passive grab of the key with the chord's modifiers on the root
// window, once for every combination of Caps Lock and Num Lock. The grab does not report
// the press to the focused window (owner_events off), so a chord always reaches the
// handler, whichever window has focus.
//
// One grab serves every id that registered the same chord, and lives until the last of
// them is unregistered: replacing a chord with an equal one keeps it alive. A chord another
// client holds (usually the window manager's own Alt+Tab) waits and is taken by retry();
// it is logged once with a hint. When the keyboard mapping or layout changes (MappingNotify,
// XKB new keyboard or map), every grab is taken again on the keys that now produce it;
// one that now collides with another client's waits, and the waiting handler is told.
// Once a chord is unregistered, the server has let go of its keys.
// Uses Qt's own xcb connection; without one (another Qt platform) every chord is
// impossible. Main thread only: presses are reported from Qt's event loop.
class X11HotkeyService : public HotkeyService, public QAbstractNativeEventFilter {
public:
    X11HotkeyService();
    ~X11HotkeyService() override;

    Registration registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id) override;
    void unregisterChord(std::uint32_t id) override;
    bool isLive(std::uint32_t id) const override;
    bool retry() override;
    void setPressHandler(std::function<void(std::uint32_t id)> handler) override;
    void setWaitingHandler(std::function<void()> handler) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint32 keyCode = 0;
        quint32 carbonModifiers = 0;
        xcb_keysym_t keysym = 0;
        quint16 modifiers = 0;
        // While live: the keys and the Num Lock bit the grab was taken with.
        std::vector<xcb_keycode_t> keycodes;
        quint16 numLockMask = 0;
        bool live = false;
        std::vector<std::uint32_t> ids; // oldest first; a press goes to the newest
    };
    Grab* grabOf(std::uint32_t id);
    const Grab* grabOf(std::uint32_t id) const;
    bool take(Grab& chord);
    void release(Grab& chord);
    void ungrabKeys(const std::vector<xcb_keycode_t>& keycodes, quint16 modifiers, quint16 numLockMask);
    void keyboardChangeSoon();
    void keyboardChanged();
    void logOnce(const Grab& chord, const char* why);
    bool handleKeyPress(const xcb_key_press_event_t& event);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    quint8 m_xkbFirstEvent = 0; // 0: no XKB on the connection
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::list<Grab> m_grabs; // one per distinct chord
    std::function<void(std::uint32_t)> m_handler;
    std::function<void()> m_waitingHandler;
    bool m_keyboardChangePending = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // held weakly by queued work
    QSet<quint64> m_logged; // chords already reported as unavailable
};

} // namespace ostrevane
