#include "platform/x11/X11Connection.h"

#include <QDebug>

#include <xcb/composite.h>
#include <xcb/res.h>

#include <algorithm>
#include <chrono>
#include <cstring>

// Xlib only for COMPOUND_TEXT titles; its macros (None, Bool, Status) stay below Qt's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ostrevane {

namespace {

// Errors a request about a window that vanished meanwhile causes: expected, not faults.
bool isExpectedError(quint8 code)
{
    return code == XCB_WINDOW || code == XCB_DRAWABLE || code == XCB_MATCH || code == XCB_PIXMAP;
}

constexpr quint8 escape = 0x1b;        // starts a character set switch in COMPOUND_TEXT
constexpr quint8 controlSequence = 0x9b; // an eight-bit control sequence (direction changes)

// COMPOUND_TEXT starts in ISO 8859-1; only text that switches character sets needs Xlib.
bool isPlainLatin1(const QByteArray& bytes)
{
    return std::none_of(bytes.cbegin(), bytes.cend(), [](char c) {
        const auto byte = static_cast<quint8>(c);
        return byte == escape || byte == controlSequence;
    });
}

// Text properties may carry a terminating NUL or several NUL-separated items; the
// first item is the text.
QByteArray firstItem(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\0');
    return end < 0 ? bytes : bytes.left(end);
}

void defaultConnectionLost()
{
    qCritical("Ostrevane lost its connection to the X server and cannot continue; quitting.");
    std::_Exit(EXIT_FAILURE);
}

} // namespace

std::vector<quint32> X11Property::items() const
{
    if (format != 32)
        return {};
    std::vector<quint32> result(static_cast<size_t>(bytes.size()) / sizeof(quint32));
    std::memcpy(result.data(), bytes.constData(), result.size() * sizeof(quint32));
    return result;
}

std::shared_ptr<X11Connection> X11Connection::open(const QByteArray& displayName)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const QByteArray reached = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    std::shared_ptr<X11Connection> result(new X11Connection(connection, screenNumber, reached));
    if (!result->initialise())
        return nullptr;
    return result;
}

bool X11Connection::canConnect(const QByteArray& displayName)
{
    xcb_connection_t* connection = xcb_connect(displayName.constData(), nullptr);
    const bool connected = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return connected;
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber, QByteArray displayName)
    : m_connection(connection), m_screenNumber(screenNumber), m_displayName(std::move(displayName))
    , m_connectionLost(defaultConnectionLost)
{
}

X11Connection::~X11Connection()
{
    stopEventThread();
    m_decodeDisplay.reset();
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    xcb_disconnect(m_connection);
}

bool X11Connection::initialise()
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return false;
    m_screen = screens.data;
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
    xcb_generic_error_t* error = nullptr;
    m_ewmhReady = xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, &error) != 0;
    std::free(error);
    if (!m_ewmhReady)
        return false;
    internAtoms();
    queryExtensions();
    createOwnWindow();
    startEventThread();
    return true;
}

void X11Connection::internAtoms()
{
    const std::pair<const char*, xcb_atom_t*> names[] = {
        {"COMPOUND_TEXT", &m_atoms.compoundText},       {"WM_CHANGE_STATE", &m_atoms.wmChangeState},
        {"WM_PROTOCOLS", &m_atoms.wmProtocols},         {"WM_DELETE_WINDOW", &m_atoms.wmDeleteWindow},
        {"_OSTREVANE_TIMESTAMP", &m_atoms.timestampProbe},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [name, atom] : names)
        cookies.push_back(xcb_intern_atom(m_connection, 0, static_cast<quint16>(std::strlen(name)), name));
    for (size_t i = 0; i < cookies.size(); ++i)
        if (auto r = reply(xcb_intern_atom_reply, cookies[i]))
            *names[i].second = r->atom;
}

// Both extensions must be asked for their version before use.
void X11Connection::queryExtensions()
{
    const xcb_query_extension_reply_t* composite = xcb_get_extension_data(m_connection, &xcb_composite_id);
    const xcb_query_extension_reply_t* resource = xcb_get_extension_data(m_connection, &xcb_res_id);
    if (composite && composite->present)
        m_hasComposite = reply(xcb_composite_query_version_reply,
                               xcb_composite_query_version(m_connection, XCB_COMPOSITE_MAJOR_VERSION,
                                                           XCB_COMPOSITE_MINOR_VERSION)) != nullptr;
    if (resource && resource->present)
        m_hasResource = reply(xcb_res_query_version_reply,
                              xcb_res_query_version(m_connection, XCB_RES_MAJOR_VERSION, XCB_RES_MINOR_VERSION))
            != nullptr;
}

// An unmapped input-only window of our own: the target of timestamp probes and of the
// message that wakes the event thread when it must stop. Root property changes are
// selected here too, for activation and client list events.
void X11Connection::createOwnWindow()
{
    m_ownWindow = xcb_generate_id(m_connection);
    const quint32 ownMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, 0, m_ownWindow, root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &ownMask);
    const quint32 rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, root(), XCB_CW_EVENT_MASK, &rootMask);
    flush();
}

bool X11Connection::check(xcb_void_cookie_t cookie) const
{
    xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
    if (!error)
        return true;
    handleError(*error);
    std::free(error);
    return false;
}

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                                         quint32 longs) const
{
    return xcb_get_property(m_connection, 0, window, property, type, 0, longs);
}

std::optional<X11Property> X11Connection::property(xcb_get_property_cookie_t cookie) const
{
    bool failed = false;
    return property(cookie, failed);
}

std::optional<X11Property> X11Connection::property(xcb_get_property_cookie_t cookie, bool& failed) const
{
    auto r = reply(xcb_get_property_reply, cookie);
    failed = !r;
    if (!r || r->type == XCB_NONE)
        return std::nullopt;
    const auto* value = static_cast<const char*>(xcb_get_property_value(r.get()));
    return X11Property{r->type, r->format, QByteArray(value, xcb_get_property_value_length(r.get()))};
}

QString X11Connection::decodeText(const X11Property& property) const
{
    const QByteArray bytes = firstItem(property.bytes);
    if (property.type == XCB_ATOM_STRING)
        return QString::fromLatin1(bytes);
    if (property.type == m_atoms.compoundText)
        return isPlainLatin1(bytes) ? QString::fromLatin1(bytes) : decodeCompoundText(property.bytes);
    return QString::fromUtf8(bytes); // UTF8_STRING, and the best guess for anything else
}

// Xlib's converter needs a display of its own (it interns the encoding atoms there);
// it is opened on the first title that needs it and closed with this connection.
QString X11Connection::decodeCompoundText(const QByteArray& bytes) const
{
    std::lock_guard guard(m_decodeLock);
    if (!m_decodeTried) {
        m_decodeTried = true;
        if (Display* opened = XOpenDisplay(m_displayName.isEmpty() ? nullptr : m_displayName.constData()))
            m_decodeDisplay = std::shared_ptr<void>(opened, [](void* d) { XCloseDisplay(static_cast<Display*>(d)); });
    }
    auto* display = static_cast<Display*>(m_decodeDisplay.get());
    if (!display)
        return QString::fromLatin1(firstItem(bytes));
    XTextProperty text{reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
                       XInternAtom(display, "COMPOUND_TEXT", False), 8, static_cast<unsigned long>(bytes.size())};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) < Success || !list)
        return QString::fromLatin1(firstItem(bytes));
    const QString result = count > 0 ? QString::fromUtf8(list[0]) : QString();
    XFreeStringList(list);
    return result;
}

void X11Connection::sendRootMessage(xcb_window_t window, xcb_atom_t type, const std::vector<quint32>& data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), 5), event.data.data32);
    xcb_send_event(m_connection, 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    flush();
}

xcb_timestamp_t X11Connection::serverTime()
{
    std::unique_lock lock(m_timeLock);
    if (std::this_thread::get_id() == m_eventThread.get_id())
        return m_lastTime; // the event thread would wait for itself
    const quint64 before = m_timeGeneration;
    lock.unlock();
    // A zero-length append changes nothing but still reports the server's time.
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_ownWindow, m_atoms.timestampProbe, XCB_ATOM_STRING, 8,
                        0, nullptr);
    flush();
    lock.lock();
    m_timeChanged.wait_for(lock, std::chrono::milliseconds(serverTimeWaitMilliseconds),
                           [&] { return m_timeGeneration > before; });
    return m_lastTime;
}

void X11Connection::noteOwnPropertyChange(xcb_timestamp_t time)
{
    {
        std::lock_guard lock(m_timeLock);
        m_lastTime = time;
        ++m_timeGeneration;
    }
    m_timeChanged.notify_all();
}

X11Connection::Token X11Connection::addEventHandler(EventHandler handler)
{
    std::unique_lock lock(m_handlersLock);
    m_handlers.emplace(++m_lastToken, std::move(handler));
    return m_lastToken;
}

void X11Connection::removeEventHandler(Token token)
{
    if (std::this_thread::get_id() == m_eventThread.get_id()) {
        qWarning("X11Connection: an event handler cannot remove itself while it runs");
        return;
    }
    std::unique_lock lock(m_handlersLock);
    m_handlers.erase(token);
}

void X11Connection::setConnectionLostHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_lostLock);
    m_connectionLost = std::move(handler);
}

void X11Connection::handleError(const xcb_generic_error_t& error) const
{
    if (isExpectedError(error.error_code))
        return;
    qWarning("X error %u (request %u.%u, resource 0x%x); carrying on", error.error_code, error.major_code,
             error.minor_code, error.resource_id);
}

void X11Connection::startEventThread()
{
    m_eventThread = std::thread([this] { runEvents(); });
}

// A message to our own window with an empty event mask goes to us, its creator, and
// wakes the event thread out of its wait.
void X11Connection::stopEventThread()
{
    if (!m_eventThread.joinable())
        return;
    m_stopping.store(true);
    xcb_client_message_event_t wake{};
    wake.response_type = XCB_CLIENT_MESSAGE;
    wake.format = 32;
    wake.window = m_ownWindow;
    wake.type = m_atoms.timestampProbe;
    xcb_send_event(m_connection, 0, m_ownWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&wake));
    flush();
    m_eventThread.join();
}

void X11Connection::runEvents()
{
    while (true) {
        xcb_generic_event_t* event = xcb_wait_for_event(m_connection);
        if (!event) {
            if (m_stopping.load())
                return;
            std::function<void()> lost;
            {
                std::lock_guard lock(m_lostLock);
                lost = m_connectionLost;
            }
            if (lost)
                lost();
            return;
        }
        dispatch(*event);
        std::free(event);
        if (m_stopping.load())
            return;
    }
}

void X11Connection::dispatch(const xcb_generic_event_t& event)
{
    const quint8 type = event.response_type & 0x7f; // the top bit marks events sent by clients
    if (type == 0) {
        handleError(reinterpret_cast<const xcb_generic_error_t&>(event));
        return;
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (change.window == m_ownWindow && change.atom == m_atoms.timestampProbe) {
            noteOwnPropertyChange(change.time);
            return;
        }
    }
    std::shared_lock lock(m_handlersLock);
    for (const auto& [token, handler] : m_handlers)
        handler(event);
}

} // namespace ostrevane
