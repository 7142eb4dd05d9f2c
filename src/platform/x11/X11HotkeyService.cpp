#include "platform/x11/X11HotkeyService.h"

#include "core/HotkeySettings.h"
#include "platform/x11/X11QtConnection.h"

#include <QGuiApplication>

namespace ostrevane {

X11HotkeyService::X11HotkeyService()
    : m_connection(qtX11Connection())
{
    if (!m_connection)
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_keyboard = std::make_unique<X11Keyboard>(m_connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService()
{
    if (!m_connection)
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto& [id, chord] : m_grabs)
        ungrab(chord);
    xcb_flush(m_connection);
}

std::optional<std::uint32_t> X11HotkeyService::registerChord(quint32 keyCode, quint32 carbonModifiers,
                                                             std::uint32_t id)
{
    Grab chord;
    chord.keyCode = keyCode;
    chord.carbonModifiers = carbonModifiers;
    chord.modifiers = X11Keys::xModifiers(carbonModifiers);
    const std::optional<xcb_keysym_t> keysym = X11Keys::keysym(keyCode);
    if (!m_connection || !keysym) {
        logOnce(chord, "no X11 display or no such key");
        return std::nullopt;
    }
    chord.keycodes = m_keyboard->keycodes(*keysym);
    if (chord.keycodes.empty()) {
        logOnce(chord, "the keyboard has no such key");
        return std::nullopt;
    }
    if (!grab(chord)) {
        logOnce(chord, "another program holds it. Unbind it there (for example the window manager's "
                       "Alt+Tab binding: openbox's A-Tab keybind in rc.xml), then set the chord again");
        return std::nullopt;
    }
    m_grabs[id] = chord;
    return id;
}

// Checked requests: a BadAccess reply means another client grabbed the same combination.
bool X11HotkeyService::grab(const Grab& chord)
{
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t keycode : chord.keycodes)
        for (const quint16 locks : X11Keys::lockVariants(m_keyboard->numLockMask()))
            cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, chord.modifiers | locks, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool granted = true;
    for (const xcb_void_cookie_t cookie : cookies)
        if (const auto error = adoptReply(xcb_request_check(m_connection, cookie)))
            granted = false;
    if (!granted)
        ungrab(chord); // the combinations that did succeed
    return granted;
}

void X11HotkeyService::ungrab(const Grab& chord)
{
    for (const xcb_keycode_t keycode : chord.keycodes)
        for (const quint16 locks : X11Keys::lockVariants(m_keyboard->numLockMask()))
            xcb_ungrab_key(m_connection, keycode, m_root, chord.modifiers | locks);
    xcb_flush(m_connection);
}

void X11HotkeyService::logOnce(const Grab& chord, const char* why)
{
    const quint64 key = (quint64(chord.keyCode) << 32) | chord.carbonModifiers;
    if (m_logged.contains(key))
        return;
    m_logged.insert(key);
    const QString name = HotkeyConfig{chord.keyCode, chord.carbonModifiers}.displayString();
    qWarning("Ostrevane: the shortcut %s is not available: %s.", qPrintable(name), why);
}

void X11HotkeyService::unregisterChord(std::uint32_t id)
{
    const auto found = m_grabs.find(id);
    if (found == m_grabs.end())
        return;
    ungrab(found->second);
    m_grabs.erase(found);
}

void X11HotkeyService::setPressHandler(std::function<void(std::uint32_t)> handler) { m_handler = std::move(handler); }

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
        return handleKeyPress(*reinterpret_cast<xcb_key_press_event_t*>(event));
    case XCB_MAPPING_NOTIFY:
        m_keyboard->refresh(reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        return false; // Qt reads it too
    default:
        return false;
    }
}

// Presses of a grabbed chord arrive on the root window; lock bits are ignored.
bool X11HotkeyService::handleKeyPress(const xcb_key_press_event_t& event)
{
    if (event.event != m_root)
        return false;
    const quint16 modifiers = event.state & X11Keys::chordMask;
    for (const auto& [id, chord] : m_grabs) {
        const bool sameKey =
            std::find(chord.keycodes.begin(), chord.keycodes.end(), event.detail) != chord.keycodes.end();
        if (sameKey && chord.modifiers == modifiers) {
            if (m_handler)
                m_handler(id);
            return true;
        }
    }
    return false;
}

} // namespace ostrevane
