#pragma once

#include <QByteArray>
#include <QString>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace ostrevane {

// A reply of the X server, freed when dropped; null when the request failed.
template <class T>
using X11Reply = std::unique_ptr<T, decltype(&std::free)>;

// One window property as read from the server.
struct X11Property {
    xcb_atom_t type = XCB_NONE;
    quint8 format = 0; // 8, 16 or 32
    QByteArray bytes;

    // The 32-bit items (windows, atoms, cardinals) of a format-32 property.
    std::vector<quint32> items() const;
};

// The desktop backend's own X connection, separate from Qt's: the ports are called from
// background threads, and xcb is thread-safe where Xlib-on-Qt's connection is not.
//
// - Replies: every reply is fetched through reply() (or property()), which frees it in
//   every path; an error reply is freed there too and goes to the one error handler.
// - Errors: all X errors arrive at handleError(), from replies and from the event queue
//   (unchecked requests). Errors that a window which vanished meanwhile causes
//   (BadWindow, BadDrawable, BadMatch) are expected and absorbed; others are logged. The
//   program never exits on an X error.
// - Events: one event thread reads the connection and hands every event to the
//   registered handlers, on that thread. Root property changes are selected at open.
// - A lost connection ends the program with a clear message (see setConnectionLostHandler)
//   instead of spinning on a dead socket.
//
// Safe to use from any thread. Made only through open(), owned by a shared_ptr.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    using Token = std::uint64_t;
    using EventHandler = std::function<void(const xcb_generic_event_t& event)>;

    // How long serverTime() waits for the server's answer before settling for the latest
    // time it has seen.
    static constexpr int serverTimeWaitMilliseconds = 200;

    // Atoms beyond the EWMH set.
    struct Atoms {
        xcb_atom_t compoundText = XCB_NONE;
        xcb_atom_t wmChangeState = XCB_NONE;
        xcb_atom_t wmProtocols = XCB_NONE;
        xcb_atom_t wmDeleteWindow = XCB_NONE;
        xcb_atom_t timestampProbe = XCB_NONE; // our own, changed to learn the server time
    };

    // Connects to `displayName` ($DISPLAY when empty). Null when there is no X display.
    static std::shared_ptr<X11Connection> open(const QByteArray& displayName = {});
    // Whether a connection to `displayName` can be made now (connects and lets go).
    static bool canConnect(const QByteArray& displayName);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return m_connection; }
    xcb_ewmh_connection_t& ewmh() { return m_ewmh; }
    const xcb_ewmh_connection_t& ewmh() const { return m_ewmh; }
    const Atoms& atoms() const { return m_atoms; }
    const xcb_screen_t& screen() const { return *m_screen; }
    xcb_window_t root() const { return m_screen->root; }
    int screenNumber() const { return m_screenNumber; }
    // The display this connection reaches (":1"), for programs started on it.
    const QByteArray& displayName() const { return m_displayName; }
    // The window this connection owns (never mapped): the target of its own probes.
    xcb_window_t ownWindow() const { return m_ownWindow; }
    bool hasError() const { return xcb_connection_has_error(m_connection) != 0; }
    // Whether the server has the extension (queried once at open).
    bool hasComposite() const { return m_hasComposite; }
    bool hasResource() const { return m_hasResource; }

    // The one way replies are fetched: the reply, or null after handing its error to
    // handleError(). Example: `auto r = c.reply(xcb_get_geometry_reply, cookie);`
    template <class R, class Cookie>
    X11Reply<R> reply(R* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**), Cookie cookie) const
    {
        xcb_generic_error_t* error = nullptr;
        R* raw = fetch(m_connection, cookie, &error);
        if (error) {
            handleError(*error);
            std::free(error);
        }
        return X11Reply<R>(raw, &std::free);
    }
    // A checked request without reply: true when the server accepted it.
    bool check(xcb_void_cookie_t cookie) const;

    // Property reads, in two halves so that a whole window list's requests go out
    // before the first reply is awaited. `longs` bounds the length read.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property,
                                              xcb_atom_t type = XCB_ATOM_ANY, quint32 longs = 1024) const;
    std::optional<X11Property> property(xcb_get_property_cookie_t cookie) const;
    // As above; `failed` tells a request that failed (the window has gone) from a
    // property that is not set.
    std::optional<X11Property> property(xcb_get_property_cookie_t cookie, bool& failed) const;

    // The text of a title-like property (UTF8_STRING, STRING or COMPOUND_TEXT).
    QString decodeText(const X11Property& property) const;

    // Sends an EWMH client message about `window` to the root window, as pagers do.
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, const std::vector<quint32>& data);
    void flush() const { xcb_flush(m_connection); }

    // A current server timestamp, learned by changing a property of ownWindow() and
    // reading the time of the resulting event. Falls back to the latest time seen (or
    // XCB_CURRENT_TIME) when the answer takes longer than serverTimeWaitMilliseconds or
    // when called on the event thread.
    xcb_timestamp_t serverTime();

    // Event handlers run on the event thread in registration order. removeEventHandler
    // waits for a handler that is running on another thread to finish.
    Token addEventHandler(EventHandler handler);
    void removeEventHandler(Token token);

    // Replaces what happens when the connection to the server is lost (default: log a
    // critical message and end the process with a failure status).
    void setConnectionLostHandler(std::function<void()> handler);

    // The one place X errors arrive.
    void handleError(const xcb_generic_error_t& error) const;

private:
    X11Connection(xcb_connection_t* connection, int screenNumber, QByteArray displayName);
    bool initialise();
    void internAtoms();
    void queryExtensions();
    void createOwnWindow();
    void startEventThread();
    void stopEventThread();
    void runEvents();
    void dispatch(const xcb_generic_event_t& event);
    void noteOwnPropertyChange(xcb_timestamp_t time);
    QString decodeCompoundText(const QByteArray& bytes) const;

    xcb_connection_t* m_connection = nullptr;
    int m_screenNumber = 0;
    QByteArray m_displayName;
    xcb_screen_t* m_screen = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    Atoms m_atoms;
    bool m_hasComposite = false;
    bool m_hasResource = false;
    xcb_window_t m_ownWindow = XCB_NONE;

    std::thread m_eventThread;
    std::atomic<bool> m_stopping{false};

    mutable std::shared_mutex m_handlersLock; // held shared while handlers run
    std::map<Token, EventHandler> m_handlers;
    Token m_lastToken = 0;

    std::mutex m_timeLock; // guards the three fields below
    std::condition_variable m_timeChanged;
    xcb_timestamp_t m_lastTime = XCB_CURRENT_TIME;
    quint64 m_timeGeneration = 0;

    mutable std::mutex m_decodeLock; // guards the two fields below
    mutable bool m_decodeTried = false;
    mutable std::shared_ptr<void> m_decodeDisplay; // an Xlib Display, for COMPOUND_TEXT only

    std::mutex m_lostLock;
    std::function<void()> m_connectionLost;
};

} // namespace ostrevane
