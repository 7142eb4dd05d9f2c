#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"
#include "platform/x11/X11Connection.h"

#include <xcb/res.h>

#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace ostrevane {

// What a window is for, from _NET_WM_WINDOW_TYPE (first known type wins; none given
// means normal, or dialog for a transient window).
enum class X11WindowKind { normal, dialog, utility, dock, desktop, other };

// Facts of a managed window that do not change while it exists.
struct X11Client {
    xcb_window_t window = XCB_NONE;
    ProcessID pid = 0; // 0 when unknown
    QString instance;  // WM_CLASS, first part
    QString windowClass; // WM_CLASS, second part
};

// Facts that change: read fresh at each request.
struct X11ClientState {
    bool exists = true;       // false when the window had gone when it was read
    X11WindowKind kind = X11WindowKind::normal;
    bool hidden = false;      // _NET_WM_STATE_HIDDEN (iconified)
    bool skipTaskbar = false; // _NET_WM_STATE_SKIP_TASKBAR
    bool modal = false;       // _NET_WM_STATE_MODAL
    xcb_window_t transientFor = XCB_NONE;
    bool closable = true;     // _NET_WM_ALLOWED_ACTIONS lists closing (or the manager publishes none)
    std::optional<quint32> desktop; // _NET_WM_DESKTOP, 0-based; allDesktops for a sticky window

    static constexpr quint32 allDesktops = 0xFFFFFFFF;

    // A window a task bar would show: the ones the switcher lists and activates.
    bool isTaskbarWindow() const
    {
        return (kind == X11WindowKind::normal || kind == X11WindowKind::dialog) && !skipTaskbar;
    }
};

// A managed window as the accessibility reads see it: its facts, state and title, read
// together.
struct X11WindowRecord {
    X11Client client; // pid 0 and no class when read alone and not yet known
    X11ClientState state;
    std::optional<QString> title;
};

// The window manager's managed client windows and their properties, read in batches
// (all requests of a window list go out before the first reply is awaited). The
// unchanging facts (owner pid, WM_CLASS) are remembered per window while it stays in
// the client list. Windows that vanished between the list and the reads drop out or
// read as defaults. Safe on any thread.
//
// The accessibility reads (windowRecords, windowRecord) answer from a snapshot of every
// managed window's record, taken in two round trips (the list, then every window's
// requests at once) by the first such read that finds none current. An enumeration
// thus costs the same few round trips for any number of windows. The snapshot stops
// being current when the client list or its stacking changes, when this class sends a
// request to the window manager, and at discardSnapshot(); a window whose state or title
// properties changed since it was taken is read alone. All other reads are live.
//
// Changes are learned from events, which the event thread handles a moment after the
// server sent them. After beginEnumeration(), the first snapshot read therefore waits
// until every event sent so far is handled (one round trip through our own window)
// before it trusts the snapshot; where it cannot wait (on the event thread) it takes a
// new one.
class X11Clients {
public:
    explicit X11Clients(std::shared_ptr<X11Connection> connection);
    ~X11Clients();
    X11Clients(const X11Clients&) = delete;
    X11Clients& operator=(const X11Clients&) = delete;

    // Whether a client's property is one the window records hold (titles, state, type,
    // desktop): a change of it changes the window's row.
    bool isRecordedProperty(xcb_atom_t atom) const;

    X11Connection& connection() const { return *m_connection; }

    // Managed client windows, topmost first (_NET_CLIENT_LIST_STACKING reversed; the
    // mapping-order list when the manager keeps no stacking list).
    std::vector<X11Client> stacking();
    // The same facts for known windows only (no server request for remembered ones).
    std::optional<X11Client> client(xcb_window_t window);

    std::vector<X11ClientState> states(const std::vector<xcb_window_t>& windows) const;
    X11ClientState state(xcb_window_t window) const;
    // The windows of `pid` a task bar would show, topmost first.
    std::vector<xcb_window_t> taskbarWindows(ProcessID pid);

    // _NET_WM_VISIBLE_NAME, then _NET_WM_NAME, then WM_NAME: the first present, except
    // that a visible name is ignored while the window has no non-empty name of its own.
    // Nothing when the window has gone or has none.
    std::optional<QString> title(xcb_window_t window) const;
    // The window _NET_ACTIVE_WINDOW names, if any.
    std::optional<xcb_window_t> activeWindow() const;
    // The desktop shown (_NET_CURRENT_DESKTOP, 0-based) as the event thread last saw it;
    // nothing when the window manager has no desktops.
    std::optional<quint32> currentDesktop() const;
    // Whether the window still exists and is managed.
    bool isManaged(xcb_window_t window);
    // The window's _NET_WM_ICON closest to `size` pixels, as ARGB; null when it has none.
    ImageHandle icon(xcb_window_t window, int size) const;
    // Whether an EWMH window manager runs (_NET_SUPPORTING_WM_CHECK names a window that
    // names itself).
    bool hasWindowManager() const;

    // How long a caller waits for the server to echo a synchronisation request before it
    // reads everything afresh instead.
    static constexpr int syncTimeoutMilliseconds = 200;

    // Every managed window (every kind), topmost first, from the snapshot; taken anew
    // when it is not current or any window changed since.
    std::vector<X11WindowRecord> allRecords();
    // All managed windows of `pid` (every kind), topmost first, from the snapshot.
    std::vector<X11WindowRecord> windowRecords(ProcessID pid);
    // One window from the snapshot, or read alone when it changed since or is not
    // managed; state.exists is false when it has gone.
    X11WindowRecord windowRecord(xcb_window_t window);
    // The next snapshot read takes a new snapshot.
    void discardSnapshot();
    // The snapshot reads that follow see every change the server made before the first
    // of them. Each listing of the running applications calls this.
    void beginEnumeration();
    // Waits until the events the server sent so far are handled, then returns how many
    // changes of what the records hold (list, order, a recorded property, our own
    // requests, discards) were seen: while it returns the same count, nothing changed.
    // Nothing when it cannot wait (on the event thread, or no answer in time).
    std::optional<quint64> settledChangeCount();

    // Requests to the window manager, as a pager sends them (source indication 2).
    // Activating switches to the window's desktop first when it lies on another one, and
    // restores an iconified window; closing asks the window's owner politely
    // (WM_DELETE_WINDOW) or lets the manager decide. A window that has gone is ignored.
    void activate(xcb_window_t window);
    void iconify(xcb_window_t window);
    // Asked to iconify within `hidingFocusGrace` and not activated since: the focus the
    // manager hands to such a window meanwhile (the next application of a Show Desktop)
    // is nobody's use of it.
    bool isBeingHidden(xcb_window_t window);
    static constexpr std::chrono::milliseconds hidingFocusGrace{1000};
    // Also pings the window: a program that does not answer is hung.
    void close(xcb_window_t window);

    // _NET_WM_PING: asks the window's owner to answer, when its WM_PROTOCOLS say it can
    // (false otherwise, or when the window has gone). A new ping replaces the last one.
    bool ping(xcb_window_t window);
    enum class PingState { none, waiting, answered };
    struct Ping {
        PingState state = PingState::none;
        std::chrono::steady_clock::duration waited{}; // while waiting
    };
    Ping pingState(xcb_window_t window) const;

private:
    struct FactRequests;
    struct StateRequests;
    struct TitleRequests;
    struct Snapshot;

    std::vector<xcb_window_t> clientList() const;
    std::vector<xcb_window_t> unknownAmong(const std::vector<xcb_window_t>& windows);
    std::vector<FactRequests> requestFacts(const std::vector<xcb_window_t>& unknown) const;
    void learn(const std::vector<xcb_window_t>& unknown, const std::vector<FactRequests>& requests);
    std::optional<X11Client> readFacts(xcb_window_t window, const FactRequests& requests) const;
    std::optional<ProcessID> resourcePid(xcb_res_query_client_ids_cookie_t cookie) const;
    StateRequests requestState(xcb_window_t window) const;
    X11ClientState readState(const StateRequests& requests) const;
    TitleRequests requestTitle(xcb_window_t window) const;
    std::optional<QString> readTitle(const TitleRequests& requests) const;

    std::shared_ptr<const Snapshot> takeSnapshot();
    template <class Wanted>
    std::vector<X11WindowRecord> currentRecords(const Wanted& wanted);
    void internSyncAtom();
    bool synchronise();
    void settle();
    bool onSyncEvent(const xcb_generic_event_t& event);
    X11WindowRecord readRecord(xcb_window_t window);
    bool isCurrent(const Snapshot& snapshot) const;
    bool isUnchanged(xcb_window_t window, const Snapshot& snapshot) const;
    void onEvent(const xcb_generic_event_t& event);
    void readCurrentDesktop();
    bool onPong(const xcb_generic_event_t& event);
    void showDesktopOf(xcb_window_t window, xcb_timestamp_t time);

    std::shared_ptr<X11Connection> m_connection;
    X11Connection::Token m_eventToken = 0;
    xcb_atom_t m_syncAtom = XCB_NONE; // changed on our own window to learn that events are handled
    std::atomic<std::thread::id> m_eventThread{};
    std::atomic<qint64> m_currentDesktop = -1; // -1: none
    mutable std::mutex m_lock; // guards everything below
    std::condition_variable m_syncHandled;
    std::optional<quint32> m_handledSync; // request number of the last synchronisation event handled
    quint64 m_syncRequested = 0; // beginEnumeration() calls so far
    quint64 m_syncedTo = 0;      // the calls the last synchronisation (or discard) answered
    std::unordered_map<xcb_window_t, X11Client> m_known;
    std::shared_ptr<const Snapshot> m_snapshot;
    quint64 m_changes = 0;     // changes seen so far; a snapshot notes the count it started at
    quint64 m_allChangedAt = 0; // the last change of the list, its order, or a discard
    std::unordered_map<xcb_window_t, quint64> m_changedAt; // since the current snapshot
    // Pings sent: when, and whether answered. The answers come to the root window, whose
    // structure changes we select from the first ping on.
    std::unordered_map<xcb_window_t, std::pair<std::chrono::steady_clock::time_point, bool>> m_pings;
    bool m_hearsPings = false;
    std::unordered_map<xcb_window_t, std::chrono::steady_clock::time_point> m_hiding; // until

    mutable std::mutex m_iconLock; // guards the field below
    mutable std::map<std::pair<size_t, int>, std::weak_ptr<const QImage>> m_icons; // by pixels and size
};

} // namespace ostrevane
