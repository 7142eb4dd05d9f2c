#include "platform/x11/X11HotkeyService.h"

#include "core/input/HotkeySettings.h"
#include "platform/x11/X11QtConnection.h"

#include <QGuiApplication>
#include <QMetaObject>

// xkb.h names a struct member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>

namespace ostrevane {

X11HotkeyService::X11HotkeyService()
    : m_connection(qtX11Connection())
{
    if (!m_connection)
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_keyboard = std::make_unique<X11Keyboard>(m_connection);
    // Qt's connection already selects XKB's keyboard and map notifications for itself.
    if (const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(m_connection, &xcb_xkb_id); xkb && xkb->present)
        m_xkbFirstEvent = xkb->first_event;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService()
{
    if (!m_connection)
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    for (Grab& chord : m_grabs)
        release(chord);
    // A round trip, so the server has let go of the keys before this process goes: a copy
    // that takes over when it is gone finds them free.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

X11HotkeyService::Grab* X11HotkeyService::grabOf(std::uint32_t id)
{
    for (Grab& chord : m_grabs)
        if (std::find(chord.ids.begin(), chord.ids.end(), id) != chord.ids.end())
            return &chord;
    return nullptr;
}

const X11HotkeyService::Grab* X11HotkeyService::grabOf(std::uint32_t id) const
{
    return const_cast<X11HotkeyService*>(this)->grabOf(id);
}

HotkeyService::Registration X11HotkeyService::registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id)
{
    for (Grab& chord : m_grabs)
        if (chord.keyCode == keyCode && chord.carbonModifiers == carbonModifiers) {
            chord.ids.push_back(id); // shared: an equal chord registered again keeps its grab
            return chord.live ? Registration::live : Registration::heldElsewhere;
        }
    Grab chord;
    chord.keyCode = keyCode;
    chord.carbonModifiers = carbonModifiers;
    chord.modifiers = X11Keys::xModifiers(carbonModifiers);
    const std::optional<xcb_keysym_t> keysym = X11Keys::keysym(keyCode);
    if (!m_connection || !keysym) {
        logOnce(chord, "no X11 display or no such key");
        return Registration::impossible;
    }
    chord.keysym = *keysym;
    if (m_keyboard->keycodes(chord.keysym).empty()) {
        logOnce(chord, "the keyboard has no such key");
        return Registration::impossible;
    }
    chord.ids.push_back(id);
    const bool live = take(chord);
    m_grabs.push_back(std::move(chord));
    if (!live)
        logOnce(m_grabs.back(), "another program holds it, most often the window manager (in openbox, remove its "
                                "keybind from rc.xml). Ostrevane takes it as soon as it is free");
    return live ? Registration::live : Registration::heldElsewhere;
}

// Checked requests: a BadAccess reply means another client grabbed the same combination.
bool X11HotkeyService::take(Grab& chord)
{
    const std::vector<xcb_keycode_t> keycodes = m_keyboard->keycodes(chord.keysym);
    const quint16 numLock = m_keyboard->numLockMask();
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t keycode : keycodes)
        for (const quint16 locks : X11Keys::lockVariants(numLock))
            cookies.push_back(xcb_grab_key_checked(m_connection, 0, m_root, chord.modifiers | locks, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool granted = !keycodes.empty();
    for (const xcb_void_cookie_t cookie : cookies)
        if (const auto error = adoptReply(xcb_request_check(m_connection, cookie)))
            granted = false;
    if (!granted) {
        ungrabKeys(keycodes, chord.modifiers, numLock); // the combinations that did succeed
        return false;
    }
    chord.keycodes = keycodes;
    chord.numLockMask = numLock;
    chord.live = true;
    return true;
}

void X11HotkeyService::release(Grab& chord)
{
    if (!chord.live)
        return;
    ungrabKeys(chord.keycodes, chord.modifiers, chord.numLockMask);
    chord.live = false;
}

void X11HotkeyService::ungrabKeys(const std::vector<xcb_keycode_t>& keycodes, quint16 modifiers, quint16 numLockMask)
{
    for (const xcb_keycode_t keycode : keycodes)
        for (const quint16 locks : X11Keys::lockVariants(numLockMask))
            xcb_ungrab_key(m_connection, keycode, m_root, modifiers | locks);
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
    const auto found = std::find_if(m_grabs.begin(), m_grabs.end(), [id](const Grab& chord) {
        return std::find(chord.ids.begin(), chord.ids.end(), id) != chord.ids.end();
    });
    if (found == m_grabs.end())
        return;
    std::erase(found->ids, id);
    if (!found->ids.empty())
        return; // another registration still uses the grab
    release(*found);
    m_grabs.erase(found);
    // A round trip: once unregistered, the keys are free for any other client.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

bool X11HotkeyService::isLive(std::uint32_t id) const
{
    const Grab* chord = grabOf(id);
    return chord && chord->live;
}

bool X11HotkeyService::retry()
{
    bool waiting = false;
    for (Grab& chord : m_grabs) {
        if (chord.live)
            continue;
        if (take(chord)) {
            const QString name = HotkeyConfig{chord.keyCode, chord.carbonModifiers}.displayString();
            qInfo("Ostrevane: the shortcut %s is free now and summons Ostrevane.", qPrintable(name));
            m_logged.remove((quint64(chord.keyCode) << 32) | chord.carbonModifiers);
        } else {
            waiting = true;
        }
    }
    return waiting;
}

void X11HotkeyService::setPressHandler(std::function<void(std::uint32_t)> handler) { m_handler = std::move(handler); }

void X11HotkeyService::setWaitingHandler(std::function<void()> handler) { m_waitingHandler = std::move(handler); }

// A layout switch sends a burst of notifications (one per changed map part): the grabs
// are taken again once, after the burst.
void X11HotkeyService::keyboardChangeSoon()
{
    if (m_keyboardChangePending)
        return;
    m_keyboardChangePending = true;
    QMetaObject::invokeMethod(
        qApp,
        [this, alive = std::weak_ptr<int>(m_alive)] {
            if (alive.lock())
                keyboardChanged();
        },
        Qt::QueuedConnection);
}

// The grabs name keycodes: after a mapping change the chord's key may sit elsewhere, and
// Num Lock may set another modifier bit. A grab whose keys moved is let go as it was taken
// and taken again on the new keyboard; one whose keys stayed is kept, since letting it go
// even for a round trip hands a press of the chord to the focused window.
void X11HotkeyService::keyboardChanged()
{
    m_keyboardChangePending = false;
    m_keyboard->reload();
    bool waiting = false;
    for (Grab& chord : m_grabs) {
        if (chord.live && chord.keycodes == m_keyboard->keycodes(chord.keysym)
            && chord.numLockMask == m_keyboard->numLockMask())
            continue;
        release(chord);
        if (!take(chord)) {
            logOnce(chord, "after the keyboard changed, another program holds it; Ostrevane takes it as soon as "
                           "it is free");
            waiting = true;
        }
    }
    if (waiting && m_waitingHandler)
        m_waitingHandler();
}

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS)
        return handleKeyPress(*reinterpret_cast<xcb_key_press_event_t*>(event));
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
            keyboardChangeSoon();
    } else if (m_xkbFirstEvent && type == m_xkbFirstEvent) {
        // XKB's events share one code; the second byte says which one it is.
        const quint8 xkbType = event->pad0;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            keyboardChangeSoon();
    }
    return false; // Qt reads the keyboard changes too
}

// Presses of a grabbed chord arrive on the root window; lock bits are ignored.
bool X11HotkeyService::handleKeyPress(const xcb_key_press_event_t& event)
{
    if (event.event != m_root)
        return false;
    const quint16 modifiers = event.state & X11Keys::chordMask;
    for (const Grab& chord : m_grabs) {
        const bool sameKey =
            std::find(chord.keycodes.begin(), chord.keycodes.end(), event.detail) != chord.keycodes.end();
        if (chord.live && sameKey && chord.modifiers == modifiers) {
            if (m_handler)
                m_handler(chord.ids.back());
            return true;
        }
    }
    return false;
}

} // namespace ostrevane
