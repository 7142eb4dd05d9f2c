#include "platform/x11/X11Clients.h"

#include <xcb/res.h>

#include <algorithm>
#include <unordered_set>

namespace ostrevane {

namespace {

// Pagers and task bars identify themselves with source indication 2, which EWMH window
// managers honour without focus-stealing checks.
constexpr quint32 pagerSource = 2;
// ICCCM 4.1.4: WM_CHANGE_STATE with IconicState asks the manager to iconify.
constexpr quint32 iconicState = 3;
// Property lengths read, in 32-bit units.
constexpr quint32 atomListLongs = 64;
constexpr quint32 classLongs = 256;
constexpr quint32 titleLongs = 1024;
// Icons up to 512 x 512 pixels; larger ones are cut off and ignored.
constexpr quint32 iconLongs = 512 * 512 + 2;

std::pair<QString, QString> parseClass(const QByteArray& bytes)
{
    const QList<QByteArray> parts = bytes.split('\0');
    return {parts.size() > 0 ? QString::fromLocal8Bit(parts[0]) : QString(),
            parts.size() > 1 ? QString::fromLocal8Bit(parts[1]) : QString()};
}

bool contains(const std::vector<quint32>& atoms, xcb_atom_t atom)
{
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

X11WindowKind kindOf(const xcb_ewmh_connection_t& e, const std::vector<quint32>& types, bool transient)
{
    for (const quint32 type : types) {
        if (type == e._NET_WM_WINDOW_TYPE_NORMAL)
            return X11WindowKind::normal;
        if (type == e._NET_WM_WINDOW_TYPE_DIALOG)
            return X11WindowKind::dialog;
        if (type == e._NET_WM_WINDOW_TYPE_UTILITY || type == e._NET_WM_WINDOW_TYPE_TOOLBAR
            || type == e._NET_WM_WINDOW_TYPE_MENU)
            return X11WindowKind::utility;
        if (type == e._NET_WM_WINDOW_TYPE_DOCK)
            return X11WindowKind::dock;
        if (type == e._NET_WM_WINDOW_TYPE_DESKTOP)
            return X11WindowKind::desktop;
        if (type == e._NET_WM_WINDOW_TYPE_SPLASH || type == e._NET_WM_WINDOW_TYPE_NOTIFICATION)
            return X11WindowKind::other;
    }
    // EWMH: without a (known) type, a transient window is a dialog, any other is normal.
    return transient ? X11WindowKind::dialog : X11WindowKind::normal;
}

// The _NET_WM_ICON entry (width, height, pixels...) whose size is the smallest at least
// `size`, or else the largest.
std::optional<std::pair<size_t, QSize>> chooseIcon(const std::vector<quint32>& data, int size)
{
    std::optional<std::pair<size_t, QSize>> best;
    for (size_t at = 0; at + 2 <= data.size();) {
        const QSize dimensions(static_cast<int>(data[at]), static_cast<int>(data[at + 1]));
        const size_t pixels = size_t(data[at]) * data[at + 1];
        if (dimensions.isEmpty() || at + 2 + pixels > data.size())
            break;
        const int side = std::max(dimensions.width(), dimensions.height());
        const int bestSide = best ? std::max(best->second.width(), best->second.height()) : 0;
        const bool better = !best || (bestSide < size ? side > bestSide : side >= size && side < bestSide);
        if (better)
            best = std::pair{at + 2, dimensions};
        at += 2 + pixels;
    }
    return best;
}

} // namespace

X11Clients::X11Clients(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection))
{
}

std::vector<xcb_window_t> X11Clients::clientList() const
{
    const xcb_ewmh_connection_t& e = m_connection->ewmh();
    const xcb_window_t root = m_connection->root();
    const auto stackingCookie = m_connection->requestProperty(root, e._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW, 65536);
    const auto mappingCookie = m_connection->requestProperty(root, e._NET_CLIENT_LIST, XCB_ATOM_WINDOW, 65536);
    const std::optional<X11Property> stacking = m_connection->property(stackingCookie);
    const std::optional<X11Property> mapping = m_connection->property(mappingCookie);
    // Stacking order is bottom to top; the mapping order stands in when it is missing.
    std::vector<quint32> windows = stacking ? stacking->items() : mapping ? mapping->items() : std::vector<quint32>{};
    std::reverse(windows.begin(), windows.end());
    return {windows.begin(), windows.end()};
}

std::vector<X11Client> X11Clients::stacking()
{
    const std::vector<xcb_window_t> windows = clientList();
    std::vector<xcb_window_t> unknown;
    {
        std::lock_guard lock(m_lock);
        const std::unordered_set<xcb_window_t> listed(windows.begin(), windows.end());
        // Forget windows that left the list: a reused window id must be read afresh.
        std::erase_if(m_known, [&](const auto& entry) { return !listed.contains(entry.first); });
        for (const xcb_window_t window : windows)
            if (!m_known.contains(window))
                unknown.push_back(window);
    }
    learn(unknown);
    std::vector<X11Client> result;
    std::lock_guard lock(m_lock);
    for (const xcb_window_t window : windows)
        if (auto found = m_known.find(window); found != m_known.end())
            result.push_back(found->second);
    return result;
}

std::optional<X11Client> X11Clients::client(xcb_window_t window)
{
    {
        std::lock_guard lock(m_lock);
        if (auto found = m_known.find(window); found != m_known.end())
            return found->second;
    }
    for (const X11Client& known : stacking())
        if (known.window == window)
            return known;
    return std::nullopt;
}

// The requests for one window's unchanging facts, sent before any reply is awaited.
struct X11Clients::FactRequests {
    xcb_get_property_cookie_t pid;
    xcb_get_property_cookie_t wmClass;
    std::optional<xcb_res_query_client_ids_cookie_t> resource;
};

// All requests first, then the replies: one round trip for the whole list.
void X11Clients::learn(const std::vector<xcb_window_t>& unknown)
{
    if (unknown.empty())
        return;
    std::vector<FactRequests> requests;
    for (const xcb_window_t window : unknown)
        requests.push_back(requestFacts(window));
    std::vector<X11Client> learned;
    for (size_t i = 0; i < unknown.size(); ++i)
        if (std::optional<X11Client> client = readFacts(unknown[i], requests[i]))
            learned.push_back(*client);
    std::lock_guard lock(m_lock);
    for (const X11Client& client : learned)
        m_known.emplace(client.window, client);
}

X11Clients::FactRequests X11Clients::requestFacts(xcb_window_t window) const
{
    X11Connection& c = *m_connection;
    FactRequests requests{c.requestProperty(window, c.ewmh()._NET_WM_PID, XCB_ATOM_CARDINAL, 1),
                          c.requestProperty(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, classLongs), std::nullopt};
    if (c.hasResource()) {
        xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        requests.resource = xcb_res_query_client_ids(c.xcb(), 1, &spec);
    }
    return requests;
}

// The X Resource extension names the local process behind a window even when the
// client sets no _NET_WM_PID (which a remote client may also set wrongly). Nothing
// when the window vanished after the list was read.
std::optional<X11Client> X11Clients::readFacts(xcb_window_t window, const FactRequests& requests) const
{
    X11Connection& c = *m_connection;
    auto wmClass = c.reply(xcb_get_property_reply, requests.wmClass);
    const std::optional<X11Property> pidProperty = c.property(requests.pid);
    const std::optional<ProcessID> resource = requests.resource ? resourcePid(*requests.resource) : std::nullopt;
    if (!wmClass)
        return std::nullopt;
    X11Client client{window, 0, {}, {}};
    const auto* value = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
    std::tie(client.instance, client.windowClass) =
        parseClass(QByteArray(value, xcb_get_property_value_length(wmClass.get())));
    const std::vector<quint32> pidItems = pidProperty ? pidProperty->items() : std::vector<quint32>{};
    client.pid = resource.value_or(pidItems.empty() ? 0 : static_cast<ProcessID>(pidItems.front()));
    return client;
}

std::optional<ProcessID> X11Clients::resourcePid(xcb_res_query_client_ids_cookie_t cookie) const
{
    auto r = m_connection->reply(xcb_res_query_client_ids_reply, cookie);
    if (!r)
        return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem > 0; xcb_res_client_id_value_next(&it))
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4)
            return static_cast<ProcessID>(*xcb_res_client_id_value_value(it.data));
    return std::nullopt;
}

std::vector<X11ClientState> X11Clients::states(const std::vector<xcb_window_t>& windows) const
{
    X11Connection& c = *m_connection;
    const xcb_ewmh_connection_t& e = c.ewmh();
    struct Pending {
        xcb_get_property_cookie_t type, state, transient, allowed;
    };
    std::vector<Pending> pending;
    for (const xcb_window_t window : windows)
        pending.push_back({c.requestProperty(window, e._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, atomListLongs),
                           c.requestProperty(window, e._NET_WM_STATE, XCB_ATOM_ATOM, atomListLongs),
                           c.requestProperty(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1),
                           c.requestProperty(window, e._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, atomListLongs)});
    std::vector<X11ClientState> result;
    const auto items = [&](xcb_get_property_cookie_t cookie) {
        const std::optional<X11Property> p = c.property(cookie);
        return p ? std::optional(p->items()) : std::nullopt;
    };
    for (const Pending& p : pending) {
        bool failed = false;
        const std::optional<X11Property> stateProperty = c.property(p.state, failed);
        const std::vector<quint32> state = stateProperty ? stateProperty->items() : std::vector<quint32>{};
        const std::vector<quint32> types = items(p.type).value_or(std::vector<quint32>{});
        const std::vector<quint32> transient = items(p.transient).value_or(std::vector<quint32>{});
        const std::optional<std::vector<quint32>> allowed = items(p.allowed);
        X11ClientState s;
        s.exists = !failed;
        s.transientFor = transient.empty() ? XCB_NONE : transient.front();
        s.kind = kindOf(e, types, s.transientFor != XCB_NONE);
        s.hidden = contains(state, e._NET_WM_STATE_HIDDEN);
        s.skipTaskbar = contains(state, e._NET_WM_STATE_SKIP_TASKBAR);
        s.modal = contains(state, e._NET_WM_STATE_MODAL);
        s.closable = !allowed || contains(*allowed, e._NET_WM_ACTION_CLOSE);
        result.push_back(s);
    }
    return result;
}

X11ClientState X11Clients::state(xcb_window_t window) const { return states({window}).front(); }

std::vector<xcb_window_t> X11Clients::taskbarWindows(ProcessID pid)
{
    std::vector<xcb_window_t> owned;
    for (const X11Client& client : stacking())
        if (client.pid == pid)
            owned.push_back(client.window);
    const std::vector<X11ClientState> ownedStates = states(owned);
    std::vector<xcb_window_t> result;
    for (size_t i = 0; i < owned.size(); ++i)
        if (ownedStates[i].exists && ownedStates[i].isTaskbarWindow())
            result.push_back(owned[i]);
    return result;
}

std::optional<QString> X11Clients::title(xcb_window_t window) const
{
    X11Connection& c = *m_connection;
    const xcb_get_property_cookie_t cookies[] = {
        c.requestProperty(window, c.ewmh()._NET_WM_VISIBLE_NAME, XCB_ATOM_ANY, titleLongs),
        c.requestProperty(window, c.ewmh()._NET_WM_NAME, XCB_ATOM_ANY, titleLongs),
        c.requestProperty(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, titleLongs),
    };
    std::optional<QString> title;
    for (const xcb_get_property_cookie_t cookie : cookies) {
        const std::optional<X11Property> p = c.property(cookie); // every reply is collected
        if (p && !title)
            title = c.decodeText(*p);
    }
    return title;
}

std::optional<xcb_window_t> X11Clients::activeWindow() const
{
    const std::optional<X11Property> p = m_connection->property(
        m_connection->requestProperty(m_connection->root(), m_connection->ewmh()._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 1));
    const std::vector<quint32> items = p ? p->items() : std::vector<quint32>{};
    if (items.empty() || items.front() == XCB_NONE)
        return std::nullopt;
    return items.front();
}

bool X11Clients::isManaged(xcb_window_t window)
{
    const std::vector<xcb_window_t> windows = clientList();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

ImageHandle X11Clients::icon(xcb_window_t window, int size) const
{
    const std::optional<X11Property> p = m_connection->property(
        m_connection->requestProperty(window, m_connection->ewmh()._NET_WM_ICON, XCB_ATOM_CARDINAL, iconLongs));
    const std::vector<quint32> data = p ? p->items() : std::vector<quint32>{};
    const auto chosen = chooseIcon(data, size);
    if (!chosen)
        return nullptr;
    const auto [offset, dimensions] = *chosen;
    QImage image(dimensions, QImage::Format_ARGB32);
    for (int y = 0; y < dimensions.height(); ++y)
        std::copy_n(data.data() + offset + size_t(y) * size_t(dimensions.width()), dimensions.width(),
                    reinterpret_cast<quint32*>(image.scanLine(y)));
    if (std::max(dimensions.width(), dimensions.height()) > size)
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return std::make_shared<const QImage>(std::move(image));
}

bool X11Clients::hasWindowManager() const
{
    X11Connection& c = *m_connection;
    const xcb_atom_t check = c.ewmh()._NET_SUPPORTING_WM_CHECK;
    const std::optional<X11Property> fromRoot = c.property(c.requestProperty(c.root(), check, XCB_ATOM_WINDOW, 1));
    const std::vector<quint32> manager = fromRoot ? fromRoot->items() : std::vector<quint32>{};
    if (manager.empty() || manager.front() == XCB_NONE)
        return false;
    // A stale property left by a manager that died names a window that is gone.
    const std::optional<X11Property> fromManager = c.property(c.requestProperty(manager.front(), check, XCB_ATOM_WINDOW, 1));
    const std::vector<quint32> self = fromManager ? fromManager->items() : std::vector<quint32>{};
    return !self.empty() && self.front() == manager.front();
}

void X11Clients::activate(xcb_window_t window)
{
    const xcb_timestamp_t time = m_connection->serverTime();
    const xcb_window_t current = activeWindow().value_or(XCB_NONE);
    m_connection->sendRootMessage(window, m_connection->ewmh()._NET_ACTIVE_WINDOW, {pagerSource, time, current});
}

void X11Clients::iconify(xcb_window_t window)
{
    m_connection->sendRootMessage(window, m_connection->atoms().wmChangeState, {iconicState});
}

void X11Clients::close(xcb_window_t window)
{
    const xcb_timestamp_t time = m_connection->serverTime();
    m_connection->sendRootMessage(window, m_connection->ewmh()._NET_CLOSE_WINDOW, {time, pagerSource});
}

} // namespace ostrevane
