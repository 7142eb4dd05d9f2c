#include "platform/x11/X11Clients.h"

#include "core/shell/TimingTrace.h"

#include <xcb/res.h>

#include <QHashFunctions>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <iterator>
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
// The property of our own window whose change events mark how far events are handled.
constexpr char syncAtomName[] = "_OSTREVANE_CLIENTS_SYNC";

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

const X11WindowRecord* find(const std::vector<X11WindowRecord>& records, xcb_window_t window)
{
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const X11WindowRecord& r) { return r.client.window == window; });
    return found == records.end() ? nullptr : &*found;
}

} // namespace

X11Clients::X11Clients(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection))
{
    internSyncAtom();
    m_eventToken = m_connection->addEventHandler([this](const xcb_generic_event_t& event) { onEvent(event); });
    readCurrentDesktop();
}

X11Clients::~X11Clients() { m_connection->removeEventHandler(m_eventToken); }

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
    const std::vector<xcb_window_t> unknown = unknownAmong(windows);
    learn(unknown, requestFacts(unknown));
    std::vector<X11Client> result;
    std::lock_guard lock(m_lock);
    for (const xcb_window_t window : windows)
        if (auto found = m_known.find(window); found != m_known.end())
            result.push_back(found->second);
    return result;
}

// The listed windows whose facts are not remembered yet.
std::vector<xcb_window_t> X11Clients::unknownAmong(const std::vector<xcb_window_t>& windows)
{
    std::vector<xcb_window_t> unknown;
    std::lock_guard lock(m_lock);
    const std::unordered_set<xcb_window_t> listed(windows.begin(), windows.end());
    // Forget windows that left the list: a reused window id must be read afresh.
    std::erase_if(m_known, [&](const auto& entry) { return !listed.contains(entry.first); });
    for (const xcb_window_t window : windows)
        if (!m_known.contains(window))
            unknown.push_back(window);
    return unknown;
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

// Property changes of a window are selected when it is first seen, before its
// properties are read, so that no change after the read goes unnoticed. Its structure
// changes (map, unmap, resize) are selected with them for X11WindowServer: one
// connection has one event mask per window.
std::vector<X11Clients::FactRequests> X11Clients::requestFacts(const std::vector<xcb_window_t>& unknown) const
{
    X11Connection& c = *m_connection;
    const quint32 propertyChanges = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::vector<FactRequests> result;
    for (const xcb_window_t window : unknown) {
        xcb_change_window_attributes(c.xcb(), window, XCB_CW_EVENT_MASK, &propertyChanges);
        FactRequests requests{c.requestProperty(window, c.ewmh()._NET_WM_PID, XCB_ATOM_CARDINAL, 1),
                              c.requestProperty(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, classLongs), std::nullopt};
        if (c.hasResource()) {
            xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            requests.resource = xcb_res_query_client_ids(c.xcb(), 1, &spec);
        }
        result.push_back(requests);
    }
    return result;
}

void X11Clients::learn(const std::vector<xcb_window_t>& unknown, const std::vector<FactRequests>& requests)
{
    std::vector<X11Client> learned;
    for (size_t i = 0; i < unknown.size(); ++i)
        if (std::optional<X11Client> client = readFacts(unknown[i], requests[i]))
            learned.push_back(*client);
    std::lock_guard lock(m_lock);
    for (const X11Client& client : learned)
        m_known.emplace(client.window, client);
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

// The requests for one window's changing state, sent before any reply is awaited.
struct X11Clients::StateRequests {
    xcb_get_property_cookie_t type, state, transient, allowed, desktop;
};

// The title candidates in the order they are preferred.
struct X11Clients::TitleRequests {
    std::array<xcb_get_property_cookie_t, 3> names;
};

X11Clients::StateRequests X11Clients::requestState(xcb_window_t window) const
{
    X11Connection& c = *m_connection;
    const xcb_ewmh_connection_t& e = c.ewmh();
    return {c.requestProperty(window, e._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, atomListLongs),
            c.requestProperty(window, e._NET_WM_STATE, XCB_ATOM_ATOM, atomListLongs),
            c.requestProperty(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1),
            c.requestProperty(window, e._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, atomListLongs),
            c.requestProperty(window, e._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1)};
}

X11ClientState X11Clients::readState(const StateRequests& requests) const
{
    X11Connection& c = *m_connection;
    const xcb_ewmh_connection_t& e = c.ewmh();
    const auto items = [&](xcb_get_property_cookie_t cookie) {
        const std::optional<X11Property> p = c.property(cookie);
        return p ? std::optional(p->items()) : std::nullopt;
    };
    bool failed = false;
    const std::optional<X11Property> stateProperty = c.property(requests.state, failed);
    const std::vector<quint32> state = stateProperty ? stateProperty->items() : std::vector<quint32>{};
    const std::vector<quint32> types = items(requests.type).value_or(std::vector<quint32>{});
    const std::vector<quint32> transient = items(requests.transient).value_or(std::vector<quint32>{});
    const std::optional<std::vector<quint32>> allowed = items(requests.allowed);
    const std::vector<quint32> desktop = items(requests.desktop).value_or(std::vector<quint32>{});
    X11ClientState s;
    s.exists = !failed;
    s.transientFor = transient.empty() ? XCB_NONE : transient.front();
    s.kind = kindOf(e, types, s.transientFor != XCB_NONE);
    s.hidden = contains(state, e._NET_WM_STATE_HIDDEN);
    s.skipTaskbar = contains(state, e._NET_WM_STATE_SKIP_TASKBAR);
    s.modal = contains(state, e._NET_WM_STATE_MODAL);
    s.closable = !allowed || contains(*allowed, e._NET_WM_ACTION_CLOSE);
    if (!desktop.empty())
        s.desktop = desktop.front();
    return s;
}

std::vector<X11ClientState> X11Clients::states(const std::vector<xcb_window_t>& windows) const
{
    std::vector<StateRequests> pending;
    for (const xcb_window_t window : windows)
        pending.push_back(requestState(window));
    std::vector<X11ClientState> result;
    for (const StateRequests& requests : pending)
        result.push_back(readState(requests));
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

X11Clients::TitleRequests X11Clients::requestTitle(xcb_window_t window) const
{
    X11Connection& c = *m_connection;
    return {{c.requestProperty(window, c.ewmh()._NET_WM_VISIBLE_NAME, XCB_ATOM_ANY, titleLongs),
             c.requestProperty(window, c.ewmh()._NET_WM_NAME, XCB_ATOM_ANY, titleLongs),
             c.requestProperty(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, titleLongs)}};
}

// The visible name is the window manager's rendering of the window's own name ("bash
// (2)"); for a window without a name of its own it is made up ("Unnamed Window", in
// English whatever the user's language), and the application's name serves better.
std::optional<QString> X11Clients::readTitle(const TitleRequests& requests) const
{
    std::array<std::optional<QString>, 3> names;
    for (size_t i = 0; i < names.size(); ++i) // every reply is collected
        if (const std::optional<X11Property> p = m_connection->property(requests.names[i]))
            names[i] = m_connection->decodeText(*p);
    const auto named = [](const std::optional<QString>& name) { return name && !name->isEmpty(); };
    if (names[0] && (named(names[1]) || named(names[2])))
        return names[0];
    return names[1] ? names[1] : names[2];
}

std::optional<QString> X11Clients::title(xcb_window_t window) const { return readTitle(requestTitle(window)); }

std::optional<xcb_window_t> X11Clients::activeWindow() const
{
    const std::optional<X11Property> p = m_connection->property(
        m_connection->requestProperty(m_connection->root(), m_connection->ewmh()._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 1));
    const std::vector<quint32> items = p ? p->items() : std::vector<quint32>{};
    if (items.empty() || items.front() == XCB_NONE)
        return std::nullopt;
    return items.front();
}

std::optional<quint32> X11Clients::currentDesktop() const
{
    const qint64 desktop = m_currentDesktop.load();
    return desktop < 0 ? std::nullopt : std::optional(static_cast<quint32>(desktop));
}

void X11Clients::readCurrentDesktop()
{
    const std::optional<X11Property> p = m_connection->property(m_connection->requestProperty(
        m_connection->root(), m_connection->ewmh()._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 1));
    const std::vector<quint32> items = p ? p->items() : std::vector<quint32>{};
    m_currentDesktop = items.empty() ? -1 : qint64(items.front());
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
    // Windows of one program, and those the window manager gave its default icon, carry the
    // same pixels: one image serves them all while any of them is listed.
    // The hash is seeded per process, so no client can make its icon pass for another's.
    const QByteArrayView pixels(reinterpret_cast<const char*>(data.data() + offset - 2),
                                qsizetype((2 + size_t(dimensions.width()) * size_t(dimensions.height())) * sizeof(quint32)));
    const std::pair key{qHash(pixels), size};
    std::lock_guard lock(m_iconLock);
    std::erase_if(m_icons, [](const auto& entry) { return entry.second.expired(); });
    if (const auto known = m_icons.find(key); known != m_icons.end())
        if (ImageHandle shared = known->second.lock())
            return shared;
    QImage image(dimensions, QImage::Format_ARGB32);
    for (int y = 0; y < dimensions.height(); ++y)
        std::copy_n(data.data() + offset + size_t(y) * size_t(dimensions.width()), dimensions.width(),
                    reinterpret_cast<quint32*>(image.scanLine(y)));
    if (std::max(dimensions.width(), dimensions.height()) > size)
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    auto shared = std::make_shared<const QImage>(std::move(image));
    m_icons[key] = shared;
    return shared;
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

// ---- The snapshot the accessibility reads answer from

struct X11Clients::Snapshot {
    quint64 takenAt = 0; // the change count when its requests went out
    std::vector<X11WindowRecord> records; // topmost first
};

// The list, then every window's facts, state and title at once: two round trips for any
// number of windows. Windows that vanish meanwhile read as gone (their errors are
// expected ones) or, without facts, drop out.
std::shared_ptr<const X11Clients::Snapshot> X11Clients::takeSnapshot()
{
    auto snapshot = std::make_shared<Snapshot>();
    {
        std::lock_guard lock(m_lock);
        snapshot->takenAt = m_changes;
    }
    const std::vector<xcb_window_t> windows = clientList();
    const std::vector<xcb_window_t> unknown = unknownAmong(windows);
    const std::vector<FactRequests> facts = requestFacts(unknown);
    std::vector<std::pair<StateRequests, TitleRequests>> pending;
    for (const xcb_window_t window : windows)
        pending.emplace_back(requestState(window), requestTitle(window));
    learn(unknown, facts);
    std::vector<X11WindowRecord> read;
    for (const auto& [state, title] : pending)
        read.push_back({{}, readState(state), readTitle(title)});
    std::lock_guard lock(m_lock);
    for (size_t i = 0; i < windows.size(); ++i) {
        if (const auto known = m_known.find(windows[i]); known != m_known.end()) {
            read[i].client = known->second;
            snapshot->records.push_back(std::move(read[i]));
        }
    }
    if (!m_snapshot || m_snapshot->takenAt <= snapshot->takenAt) {
        m_snapshot = snapshot;
        std::erase_if(m_changedAt, [&](const auto& entry) { return entry.second <= snapshot->takenAt; });
    }
    return snapshot;
}

// The wanted records of the snapshot while it is current and none of them changed;
// otherwise of a new snapshot.
template <class Wanted>
std::vector<X11WindowRecord> X11Clients::currentRecords(const Wanted& wanted)
{
    settle();
    const auto select = [&](const std::vector<X11WindowRecord>& records) {
        std::vector<X11WindowRecord> result;
        std::copy_if(records.begin(), records.end(), std::back_inserter(result), wanted);
        return result;
    };
    {
        std::lock_guard lock(m_lock);
        if (m_snapshot && isCurrent(*m_snapshot)) {
            std::vector<X11WindowRecord> selected = select(m_snapshot->records);
            if (std::all_of(selected.begin(), selected.end(),
                            [&](const X11WindowRecord& r) { return isUnchanged(r.client.window, *m_snapshot); }))
                return selected;
        }
    }
    return select(takeSnapshot()->records);
}

std::vector<X11WindowRecord> X11Clients::allRecords()
{
    return currentRecords([](const X11WindowRecord&) { return true; });
}

std::vector<X11WindowRecord> X11Clients::windowRecords(ProcessID pid)
{
    return currentRecords([pid](const X11WindowRecord& r) { return r.client.pid == pid; });
}

// A window that keeps changing (a title counting progress) is read alone each time
// instead of retaking the snapshot for all windows.
X11WindowRecord X11Clients::windowRecord(xcb_window_t window)
{
    settle();
    std::shared_ptr<const Snapshot> snapshot;
    {
        std::lock_guard lock(m_lock);
        if (m_snapshot && isCurrent(*m_snapshot)) {
            snapshot = m_snapshot;
            const X11WindowRecord* record = find(snapshot->records, window);
            if (record && isUnchanged(window, *snapshot))
                return *record;
        }
    }
    if (!snapshot) {
        snapshot = takeSnapshot();
        if (const X11WindowRecord* record = find(snapshot->records, window))
            return *record;
    }
    return readRecord(window);
}

X11WindowRecord X11Clients::readRecord(xcb_window_t window)
{
    const StateRequests state = requestState(window);
    const TitleRequests title = requestTitle(window);
    X11WindowRecord record{X11Client{window, 0, {}, {}}, readState(state), readTitle(title)};
    std::lock_guard lock(m_lock);
    if (const auto known = m_known.find(window); known != m_known.end())
        record.client = known->second;
    return record;
}

void X11Clients::discardSnapshot()
{
    std::lock_guard lock(m_lock);
    m_allChangedAt = ++m_changes;
}

void X11Clients::beginEnumeration()
{
    std::lock_guard lock(m_lock);
    ++m_syncRequested;
}

// Before a snapshot is trusted after beginEnumeration(): changes the server made since
// may still wait in the event queue, so either wait for them or read afresh.
void X11Clients::settle()
{
    quint64 requested = 0;
    {
        std::lock_guard lock(m_lock);
        if (m_syncedTo >= m_syncRequested)
            return;
        requested = m_syncRequested;
    }
    const bool synced = synchronise();
    std::lock_guard lock(m_lock);
    if (!synced)
        m_allChangedAt = ++m_changes;
    m_syncedTo = std::max(m_syncedTo, requested);
}

std::optional<quint64> X11Clients::settledChangeCount()
{
    quint64 requested = 0;
    {
        std::lock_guard lock(m_lock);
        requested = m_syncRequested;
    }
    if (!synchronise())
        return std::nullopt;
    std::lock_guard lock(m_lock);
    m_syncedTo = std::max(m_syncedTo, requested);
    return m_changes;
}

void X11Clients::internSyncAtom()
{
    xcb_connection_t* c = m_connection->xcb();
    const auto reply = m_connection->reply(
        xcb_intern_atom_reply, xcb_intern_atom(c, 0, static_cast<quint16>(std::strlen(syncAtomName)), syncAtomName));
    if (reply)
        m_syncAtom = reply->atom;
    else
        qWarning("X11Clients: cannot name the synchronisation property; every enumeration reads afresh");
}

// Events arrive in order, so once the change event of a request sent now is handled,
// so is every event the server sent before it. An empty append changes nothing but
// still produces the event. False when that cannot be awaited.
bool X11Clients::synchronise()
{
    if (m_syncAtom == XCB_NONE || std::this_thread::get_id() == m_eventThread.load())
        return false; // the event thread would wait for itself
    const xcb_void_cookie_t cookie = xcb_change_property(m_connection->xcb(), XCB_PROP_MODE_APPEND,
                                                         m_connection->ownWindow(), m_syncAtom, XCB_ATOM_STRING, 8, 0,
                                                         nullptr);
    m_connection->flush();
    const quint32 sent = cookie.sequence;
    std::unique_lock lock(m_lock);
    // Other readers' requests count too: one sent later is handled later.
    return m_syncHandled.wait_for(lock, std::chrono::milliseconds(syncTimeoutMilliseconds), [&] {
        return m_handledSync && static_cast<qint32>(*m_handledSync - sent) >= 0;
    });
}

bool X11Clients::onSyncEvent(const xcb_generic_event_t& event)
{
    const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (change.window != m_connection->ownWindow() || change.atom != m_syncAtom || m_syncAtom == XCB_NONE)
        return false;
    {
        std::lock_guard lock(m_lock);
        m_handledSync = event.full_sequence;
    }
    m_syncHandled.notify_all();
    return true;
}

bool X11Clients::isCurrent(const Snapshot& snapshot) const { return m_allChangedAt <= snapshot.takenAt; }

bool X11Clients::isUnchanged(xcb_window_t window, const Snapshot& snapshot) const
{
    const auto changed = m_changedAt.find(window);
    return changed == m_changedAt.end() || changed->second <= snapshot.takenAt;
}

// Root changes of the list or its order make the whole snapshot old; a client's change
// of a property the records hold makes that window's record old. Others (such as
// _NET_WM_USER_TIME, which some programs change at every key press) leave it current.
void X11Clients::onEvent(const xcb_generic_event_t& event)
{
    m_eventThread.store(std::this_thread::get_id());
    if ((event.response_type & 0x7f) == XCB_CLIENT_MESSAGE && onPong(event))
        return;
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY || onSyncEvent(event))
        return;
    const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const xcb_ewmh_connection_t& e = m_connection->ewmh();
    const bool onRoot = change.window == m_connection->root();
    const bool desktopShown = onRoot && change.atom == e._NET_CURRENT_DESKTOP;
    if (desktopShown)
        readCurrentDesktop();
    // Another desktop shown changes which windows are on it as much as a new list does.
    const bool listChanged = onRoot
        && (change.atom == e._NET_CLIENT_LIST || change.atom == e._NET_CLIENT_LIST_STACKING || desktopShown);
    if (!listChanged && (onRoot || !isRecordedProperty(change.atom)))
        return;
    std::lock_guard lock(m_lock);
    ++m_changes;
    if (listChanged)
        m_allChangedAt = m_changes;
    else
        m_changedAt[change.window] = m_changes;
}

bool X11Clients::isRecordedProperty(xcb_atom_t atom) const
{
    const xcb_ewmh_connection_t& e = m_connection->ewmh();
    const xcb_atom_t recorded[] = {e._NET_WM_VISIBLE_NAME, e._NET_WM_NAME,    XCB_ATOM_WM_NAME,
                                   e._NET_WM_STATE,        e._NET_WM_WINDOW_TYPE, XCB_ATOM_WM_TRANSIENT_FOR,
                                   e._NET_WM_ALLOWED_ACTIONS, e._NET_WM_DESKTOP};
    return std::find(std::begin(recorded), std::end(recorded), atom) != std::end(recorded);
}

// ---- Requests to the window manager

void X11Clients::activate(xcb_window_t window)
{
    const xcb_timestamp_t time = m_connection->serverTime();
    showDesktopOf(window, time);
    const xcb_window_t current = activeWindow().value_or(XCB_NONE);
    TimingTrace::mark("activate");
    m_connection->sendRootMessage(window, m_connection->ewmh()._NET_ACTIVE_WINDOW, {pagerSource, time, current});
    {
        std::lock_guard lock(m_lock);
        m_hiding.erase(window);
    }
    discardSnapshot();
}

// EWMH managers ignore (openbox) or only mark urgent (i3) a request to activate a window
// on another desktop: like a pager, switch to that desktop first.
void X11Clients::showDesktopOf(xcb_window_t window, xcb_timestamp_t time)
{
    X11Connection& c = *m_connection;
    const xcb_ewmh_connection_t& e = c.ewmh();
    const auto windowDesktop = c.requestProperty(window, e._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 1);
    const auto currentDesktop = c.requestProperty(c.root(), e._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 1);
    const auto first = [&](xcb_get_property_cookie_t cookie) -> std::optional<quint32> {
        const std::optional<X11Property> p = c.property(cookie);
        const std::vector<quint32> items = p ? p->items() : std::vector<quint32>{};
        return items.empty() ? std::nullopt : std::optional(items.front());
    };
    const std::optional<quint32> desktop = first(windowDesktop);
    const std::optional<quint32> current = first(currentDesktop);
    if (!desktop || !current || *desktop == X11ClientState::allDesktops || *desktop == *current)
        return;
    c.sendRootMessage(c.root(), e._NET_CURRENT_DESKTOP, {*desktop, time});
}

void X11Clients::iconify(xcb_window_t window)
{
    {
        std::lock_guard lock(m_lock);
        m_hiding[window] = std::chrono::steady_clock::now() + hidingFocusGrace;
    }
    m_connection->sendRootMessage(window, m_connection->atoms().wmChangeState, {iconicState});
    discardSnapshot();
}

bool X11Clients::isBeingHidden(xcb_window_t window)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_lock);
    std::erase_if(m_hiding, [&](const auto& entry) { return entry.second <= now; });
    return m_hiding.contains(window);
}

void X11Clients::close(xcb_window_t window)
{
    const xcb_timestamp_t time = m_connection->serverTime();
    m_connection->sendRootMessage(window, m_connection->ewmh()._NET_CLOSE_WINDOW, {time, pagerSource});
    discardSnapshot();
    ping(window);
}

// ---- Pings

// EWMH: the client sends the message back to the root window, where the window manager
// (and whoever selects structure changes there) hears it.
bool X11Clients::ping(xcb_window_t window)
{
    X11Connection& c = *m_connection;
    const xcb_ewmh_connection_t& e = c.ewmh();
    const std::optional<X11Property> protocols =
        c.property(c.requestProperty(window, e.WM_PROTOCOLS, XCB_ATOM_ATOM, atomListLongs));
    if (!protocols || !contains(protocols->items(), e._NET_WM_PING))
        return false;
    {
        std::lock_guard lock(m_lock);
        if (!std::exchange(m_hearsPings, true)) {
            const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
            xcb_change_window_attributes(c.xcb(), c.root(), XCB_CW_EVENT_MASK, &mask);
        }
        m_pings[window] = {std::chrono::steady_clock::now(), false};
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = e.WM_PROTOCOLS;
    message.data.data32[0] = e._NET_WM_PING;
    message.data.data32[1] = c.serverTime();
    message.data.data32[2] = window;
    xcb_send_event(c.xcb(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    c.flush();
    return true;
}

X11Clients::Ping X11Clients::pingState(xcb_window_t window) const
{
    std::lock_guard lock(m_lock);
    const auto found = m_pings.find(window);
    if (found == m_pings.end())
        return {};
    if (found->second.second)
        return {PingState::answered, {}};
    return {PingState::waiting, std::chrono::steady_clock::now() - found->second.first};
}

bool X11Clients::onPong(const xcb_generic_event_t& event)
{
    const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
    const xcb_ewmh_connection_t& e = m_connection->ewmh();
    if (message.window != m_connection->root() || message.type != e.WM_PROTOCOLS || message.format != 32
        || message.data.data32[0] != e._NET_WM_PING)
        return false;
    std::lock_guard lock(m_lock);
    if (const auto found = m_pings.find(message.data.data32[2]); found != m_pings.end())
        found->second.second = true;
    return true;
}

} // namespace ostrevane
