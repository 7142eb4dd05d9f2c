#include "platform/x11/X11TrayHosts.h"

#include "platform/x11/X11QtConnection.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>

#include <cstdlib>
#include <cstring>

namespace ostrevane {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

} // namespace

X11TrayHosts::X11TrayHosts() : m_connection(qtX11Connection())
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        m_watcher = new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
    if (m_connection)
        listenForTrayManagers();
}

X11TrayHosts::~X11TrayHosts()
{
    if (m_connection)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

// A tray announces itself to clients that listen for structure changes of the root
// window; Qt's connection may not, so add that to whatever it selected.
void X11TrayHosts::listenForTrayManagers()
{
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_selection = internAtom(m_connection, "_NET_SYSTEM_TRAY_S0");
    m_manager = internAtom(m_connection, "MANAGER");
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr);
    if (attributes) {
        const quint32 mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        std::free(attributes);
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TrayHosts::Kind X11TrayHosts::current()
{
    if (hasStatusNotifierWatcher())
        return Kind::statusNotifier;
    return hasXEmbedTray() ? Kind::xembed : Kind::none;
}

// Asked the way Qt asks before it makes a StatusNotifierItem: a watcher that has a host.
bool X11TrayHosts::hasStatusNotifierWatcher() const
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcherService).value())
        return false;
    QDBusInterface watcher(watcherService, watcherPath, watcherService, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

bool X11TrayHosts::hasXEmbedTray() const
{
    if (!m_connection || m_selection == XCB_NONE)
        return false;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

void X11TrayHosts::watch(std::function<void(Kind kind)> appeared)
{
    m_appeared = std::move(appeared);
    if (!m_watcher)
        return;
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &X11TrayHosts::statusNotifierHostAppeared);
    // A watcher may come first and its host (the panel's tray) later.
    QDBusConnection::sessionBus().connect(watcherService, watcherPath, watcherService,
                                          QStringLiteral("StatusNotifierHostRegistered"), this,
                                          SLOT(statusNotifierHostAppeared()));
}

void X11TrayHosts::statusNotifierHostAppeared()
{
    if (m_appeared)
        m_appeared(Kind::statusNotifier);
}

bool X11TrayHosts::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !m_appeared)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (client->type == m_manager && client->format == 32 && client->data.data32[1] == m_selection)
        m_appeared(Kind::xembed);
    return false; // Qt's own tray support wants to see it too
}

} // namespace ostrevane
