#include "platform/x11/X11GlobalMonitors.h"

#include "platform/x11/X11QtConnection.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWindow>

#include <xcb/xinput.h>

#include <algorithm>

namespace ostrevane {

// ---- OptionReleaseRace ----

void OptionReleaseRace::keyPressed(bool optionHeld, Clock::time_point now)
{
    m_pressedWithOption = optionHeld;
    m_releaseMissed = false;
    m_pressedAt = now;
}

void OptionReleaseRace::optionReleased(bool reported)
{
    if (reported)
        m_pressedWithOption = false; // the gesture ended where someone heard it
    else if (m_pressedWithOption)
        m_releaseMissed = true;
}

bool OptionReleaseRace::monitorInstalled(bool optionDownNow, Clock::time_point now)
{
    const bool sameGesture = m_pressedWithOption && now - m_pressedAt <= gestureWindow;
    const bool missed = sameGesture && (m_releaseMissed || !optionDownNow);
    // Either way the gesture is accounted for: a monitor now exists to hear the release.
    m_pressedWithOption = false;
    m_releaseMissed = false;
    return missed;
}

// ---- X11GlobalMonitors ----

namespace {

constexpr quint32 leftButton = 1, rightButton = 3;

template <class Map, class... Args>
void notifyAll(const Map& monitors, Args... args)
{
    for (const auto& [token, handler] : Map(monitors)) // a handler may remove monitors
        handler(args...);
}

} // namespace

X11GlobalMonitors::X11GlobalMonitors()
    : m_connection(qtX11Connection())
{
    if (!m_connection)
        return;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_keyboard = std::make_unique<X11Keyboard>(m_connection);
    selectRawEvents();
    if (!isAvailable()) {
        qWarning("Ostrevane: the X server lacks XInput 2; releasing Alt outside the panel is not seen");
        return;
    }
    if (m_keyboard->isOptionDown())
        m_optionKeysDown = m_keyboard->optionKeycodes();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalMonitors::~X11GlobalMonitors()
{
    if (isAvailable())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

// Raw events of the master devices, selected on the root window. Qt selects its own XI 2
// events per window and for all devices, so this mask does not replace any of Qt's.
void X11GlobalMonitors::selectRawEvents()
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_input_id);
    if (!extension || !extension->present)
        return;
    const auto version = adoptReply(
        xcb_input_xi_query_version_reply(m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr));
    if (!version || version->major_version < 2)
        return;
    struct {
        xcb_input_event_mask_t head;
        quint32 bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE
               | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    const auto error = adoptReply(
        xcb_request_check(m_connection, xcb_input_xi_select_events_checked(m_connection, m_root, 1, &mask.head)));
    if (!error)
        m_xinputOpcode = extension->major_opcode;
}

InputMonitors::Token X11GlobalMonitors::addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)>)
{
    return ++m_lastToken;
}

InputMonitors::Token X11GlobalMonitors::addLocalFlagsMonitor(std::function<void(bool)>) { return ++m_lastToken; }

InputMonitors::Token X11GlobalMonitors::addLocalClickMonitor(std::function<void(QPointF, bool, bool)>)
{
    return ++m_lastToken;
}

InputMonitors::Token X11GlobalMonitors::addMouseMovedMonitor(std::function<void()>) { return ++m_lastToken; }

InputMonitors::Token X11GlobalMonitors::addGlobalFlagsMonitor(std::function<void(bool)> handler)
{
    const Token token = ++m_lastToken;
    m_flagsMonitors.emplace(token, std::move(handler));
    const bool optionDown = isAvailable() && m_keyboard->isOptionDown();
    if (isAvailable() && m_race.monitorInstalled(optionDown, OptionReleaseRace::Clock::now()))
        // Told after the installer has finished installing, like any other event.
        QMetaObject::invokeMethod(
            qApp,
            [this, token, alive = std::weak_ptr<int>(m_alive)] {
                if (!alive.lock())
                    return;
                if (const auto found = m_flagsMonitors.find(token); found != m_flagsMonitors.end())
                    found->second(false);
            },
            Qt::QueuedConnection);
    return token;
}

InputMonitors::Token X11GlobalMonitors::addGlobalClickMonitor(std::function<void(QPointF)> handler)
{
    const Token token = ++m_lastToken;
    m_clickMonitors.emplace(token, std::move(handler));
    return token;
}

void X11GlobalMonitors::remove(Token token)
{
    m_flagsMonitors.erase(token);
    m_clickMonitors.erase(token);
}

std::optional<bool> X11GlobalMonitors::isOptionKeyDown() const
{
    if (!isAvailable())
        return std::nullopt;
    return !m_optionKeysDown.empty();
}

bool X11GlobalMonitors::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        m_keyboard->refresh(reinterpret_cast<xcb_mapping_notify_event_t*>(event));
        return false; // Qt reads it too
    }
    if (type != XCB_GE_GENERIC)
        return false;
    const auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event);
    if (generic->extension != m_xinputOpcode)
        return false;
    // The raw key and button events share their leading fields; `detail` is the keycode
    // or the button.
    const auto* raw = reinterpret_cast<xcb_input_raw_key_press_event_t*>(event);
    switch (generic->event_type) {
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE:
        rawKey(xcb_keycode_t(raw->detail), generic->event_type == XCB_INPUT_RAW_KEY_PRESS);
        return true;
    case XCB_INPUT_RAW_BUTTON_PRESS:
        rawButton(raw->detail);
        return true;
    default:
        return false; // Qt's own XI 2 events
    }
}

void X11GlobalMonitors::rawKey(xcb_keycode_t keycode, bool pressed)
{
    if (m_keyboard->isOptionKey(keycode)) {
        std::erase(m_optionKeysDown, keycode);
        if (pressed)
            m_optionKeysDown.push_back(keycode);
        optionChanged(!m_optionKeysDown.empty());
    } else if (m_keyboard->isModifierKey(keycode)) {
        optionChanged(!m_optionKeysDown.empty());
    } else if (pressed) {
        m_race.keyPressed(!m_optionKeysDown.empty(), OptionReleaseRace::Clock::now());
    }
}

void X11GlobalMonitors::optionChanged(bool held)
{
    if (!held)
        m_race.optionReleased(!m_flagsMonitors.empty());
    // Reported even when one of our windows has the focus now: the focus may have moved
    // there after the key went to another client. Where the panel saw the key too, the
    // controller opens its row only once.
    notifyAll(m_flagsMonitors, held);
}

void X11GlobalMonitors::rawButton(quint32 button)
{
    if ((button != leftButton && button != rightButton) || m_clickMonitors.empty())
        return;
    const QPoint point = QCursor::pos();
    if (QGuiApplication::topLevelAt(point))
        return; // one of our windows: the local monitor sees it
    notifyAll(m_clickMonitors, QPointF(point));
}

} // namespace ostrevane
