// The real switcher on a private Xvfb + openbox session with 10, 50 and 200 client
// windows (each its own process): the time from an Alt+Tab sent with XTest to the panel's
// window exposed (mapped) and to its first painted frame, and from forward() to that
// frame, read from the program's opt-in timing trace (OSTREVANE_TRACE_TIMING); the time
// from start to ready (hotkey registered); the quick tap, from the Alt release to the
// window manager announcing the chosen window as active (_NET_ACTIVE_WINDOW on the root);
// also the program's memory after start and after the showings. With --idle: the
// program's CPU time and wake-ups over 60 s with the panel hidden and 50 windows present.
// With --tabs N a browser with N tabs in 20 windows is open too (a stand-in for Chromium
// with the extension, through the real connector). Prints its own tables; it is run by hand (a few minutes), never by CI.
//
//   panel_latency_bench [--windows 10,50,200] [--showings N] [--taps N] [--tabs N] [--idle [seconds]]

#include "BenchClientWindows.h"
#include "BenchFakeBrowser.h"
#include "../tests/x11/XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>

extern char** environ;

using ostrevane::x11test::XvfbSession;

namespace {

const std::vector<int> defaultWindowCounts = {10, 50, 200};
constexpr int defaultShowings = 40;
constexpr int defaultTaps = 40;
constexpr int rssAfterShowings = 20;
constexpr int idleWindowCount = 50;
constexpr double defaultIdleSeconds = 60.0;
// Generous limits for a loaded two-core machine; none of them is a measurement.
constexpr double clientsTimeoutSeconds = 60.0;
constexpr double startTimeoutSeconds = 20.0;
constexpr double traceTimeoutSeconds = 5.0;
constexpr int firstShowingAttempts = 5;
// After start-up, so the caches' warm-up refreshes have finished before the first press.
constexpr double settleSeconds = 1.0;
// Longer than the program waits after a burst of work before it trims its heap.
constexpr double restSeconds = 3.0;
// Between showings: the 0.2 s slide-out and the refresh started behind the panel end.
constexpr double betweenShowingsSeconds = 0.5;
constexpr double escapeBeforeReleaseSeconds = 0.05;
// Before the idle measurement starts, so the last showing's work has ended.
constexpr double idleSettleSeconds = 5.0;

constexpr xcb_keysym_t altKeysym = 0xffe9; // Alt_L
constexpr xcb_keysym_t tabKeysym = 0xff09;
constexpr xcb_keysym_t escapeKeysym = 0xff1b;
// The longest a quick tap may take to activate a window before it counts as missed.
constexpr double activationTimeoutSeconds = 2.0;

qint64 nowNs()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart).count();
}

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of a "Name:   value ..." line of a /proc status file; -1 without one.
qint64 statusField(const QByteArray& status, const QByteArray& name)
{
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).simplified().split(' ').value(0).toLongLong();
    return -1;
}

QString loadAverage() { return QString::fromLatin1(readFile(QStringLiteral("/proc/loadavg")).trimmed()); }

// ---- The X side: client count and keys ----

class XSide {
public:
    explicit XSide(const QByteArray& display)
        : m_connection(xcb_connect(display.constData(), nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_clientList = ostrevane::bench::internAtom(m_connection, "_NET_CLIENT_LIST");
        m_activeWindow = ostrevane::bench::internAtom(m_connection, "_NET_ACTIVE_WINDOW");
        m_stacking = ostrevane::bench::internAtom(m_connection, "_NET_CLIENT_LIST_STACKING");
        const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE; // the window manager's announcements
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
        m_alt = keycode(symbols, altKeysym);
        m_tab = keycode(symbols, tabKeysym);
        m_escape = keycode(symbols, escapeKeysym);
        xcb_key_symbols_free(symbols);
    }
    ~XSide() { xcb_disconnect(m_connection); }
    XSide(const XSide&) = delete;
    XSide& operator=(const XSide&) = delete;

    bool isUsable() const { return !xcb_connection_has_error(m_connection) && m_alt && m_tab && m_escape; }

    int managedWindows() const
    {
        auto* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, m_root, m_clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr);
        const int count = reply ? xcb_get_property_value_length(reply) / 4 : 0;
        std::free(reply);
        return count;
    }

    // An event for the window manager. openbox may sleep on map requests it has already
    // read while it was starting; any event it receives wakes it, and it manages them.
    void nudgeWindowManager()
    {
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = m_root;
        message.type = m_clientList; // a type it does not act on as a message
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(m_connection);
    }

    // Alt down, Tab down and up. Returns the monotonic time just before the presses
    // leave for the server.
    qint64 pressChord()
    {
        key(XCB_KEY_PRESS, m_alt);
        key(XCB_KEY_PRESS, m_tab);
        const qint64 sent = nowNs();
        xcb_flush(m_connection);
        key(XCB_KEY_RELEASE, m_tab);
        xcb_flush(m_connection);
        return sent;
    }

    // Escape while Alt is held cancels the panel; then Alt goes up. The release waits a
    // little: it reaches the program by another road (the global monitor) than Escape
    // (the panel's focus) and would otherwise often arrive first and open a row.
    void cancel()
    {
        key(XCB_KEY_PRESS, m_escape);
        key(XCB_KEY_RELEASE, m_escape);
        xcb_flush(m_connection);
        sleepSeconds(escapeBeforeReleaseSeconds);
        key(XCB_KEY_RELEASE, m_alt);
        xcb_flush(m_connection);
    }

    // The X server's first key events of a session cost it several milliseconds (more
    // the first time than ever after): a few presses no one acts on, before any switcher
    // runs, keep that out of the first showing's figure.
    void warmUpKeys()
    {
        for (const xcb_keycode_t code : {m_alt, m_escape}) {
            key(XCB_KEY_PRESS, code);
            key(XCB_KEY_RELEASE, code);
        }
        xcb_flush(m_connection);
        sleepSeconds(betweenShowingsSeconds);
    }

    // A pager's request for the window just below the top of the stack (the window a quick
    // Alt+Tab opens): the floor under the quick tap, the window manager's own share.
    // Returns the monotonic time just before the request leaves.
    qint64 pagerActivate()
    {
        dropEvents();
        m_activeBefore = activeWindow();
        auto* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, m_root, m_stacking, XCB_ATOM_WINDOW, 0, 4096), nullptr);
        const int count = reply ? xcb_get_property_value_length(reply) / 4 : 0;
        const xcb_window_t target = count >= 2 ? static_cast<xcb_window_t*>(xcb_get_property_value(reply))[count - 2]
                                               : XCB_NONE;
        std::free(reply);
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = target;
        message.type = m_activeWindow;
        message.data.data32[0] = 2; // a pager
        message.data.data32[1] = XCB_CURRENT_TIME;
        message.data.data32[2] = m_activeBefore;
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        const qint64 sent = nowNs();
        xcb_flush(m_connection);
        return sent;
    }

    // Alt goes up; returns the monotonic time just before the release leaves for the server.
    qint64 releaseAlt()
    {
        dropEvents();
        m_activeBefore = activeWindow();
        key(XCB_KEY_RELEASE, m_alt);
        const qint64 sent = nowNs();
        xcb_flush(m_connection);
        return sent;
    }

    // The monotonic time at which the window manager was seen to announce another active
    // window than before the release; nothing within the time-out.
    std::optional<qint64> waitForActivation()
    {
        const qint64 deadline = nowNs() + static_cast<qint64>(activationTimeoutSeconds * 1e9);
        while (nowNs() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const bool announced = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                    && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == m_activeWindow;
                std::free(event);
                const qint64 seen = nowNs();
                if (announced) {
                    const xcb_window_t now = activeWindow();
                    if (now != XCB_NONE && now != m_activeBefore)
                        return seen;
                }
            }
            pollfd watched{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&watched, 1, 5);
        }
        return std::nullopt;
    }

private:
    xcb_window_t activeWindow() const
    {
        auto* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, m_root, m_activeWindow, XCB_ATOM_WINDOW, 0, 1), nullptr);
        const xcb_window_t window = reply && xcb_get_property_value_length(reply) == 4
            ? *static_cast<xcb_window_t*>(xcb_get_property_value(reply))
            : XCB_NONE;
        std::free(reply);
        return window;
    }

    void dropEvents()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    static xcb_keycode_t keycode(xcb_key_symbols_t* symbols, xcb_keysym_t keysym)
    {
        xcb_keycode_t* codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
        const xcb_keycode_t first = codes ? codes[0] : 0;
        std::free(codes);
        return first == XCB_NO_SYMBOL ? 0 : first;
    }

    void key(quint8 type, xcb_keycode_t code)
    {
        xcb_test_fake_input(m_connection, type, code, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_clientList = XCB_NONE;
    xcb_atom_t m_activeWindow = XCB_NONE;
    xcb_atom_t m_stacking = XCB_NONE;
    xcb_window_t m_activeBefore = XCB_NONE;
    xcb_keycode_t m_alt = 0;
    xcb_keycode_t m_tab = 0;
    xcb_keycode_t m_escape = 0;
};

// ---- The switcher and its trace ----

// One showing as the trace reports it (monotonic nanoseconds; -1 when not reported).
struct Showing {
    qint64 sent = -1;
    qint64 key = -1;
    qint64 forward = -1;
    qint64 exposed = -1;
    qint64 painted = -1;
    int rows = -1;
};

// The program with the trace on, a settings folder where the first-run guide is done and
// a private folder for its single-instance socket. Standard error comes back through a
// pipe; everything but trace lines is passed on to ours.
class TracedSwitcher {
public:
    TracedSwitcher(const QByteArray& display, const QTemporaryDir& folder)
        : m_folder(folder.path())
    {
        writeSettings();
        m_pid = spawn(display);
        std::fprintf(stderr, "switcher started, pid %d\n", static_cast<int>(m_pid));
    }

    ~TracedSwitcher()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            if (!XvfbSession::waitUntil([&] { return ::waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 5.0)) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
            }
        }
        if (m_stderr >= 0)
            ::close(m_stderr);
    }
    TracedSwitcher(const TracedSwitcher&) = delete;
    TracedSwitcher& operator=(const TracedSwitcher&) = delete;

    pid_t pid() const { return m_pid; }

    // Milliseconds from the start to the program's "ready" mark (launch done, hotkey
    // registered); nothing when it does not come in time.
    std::optional<double> waitForReady()
    {
        const std::optional<qint64> ready = readMark("ready", m_spawned, startTimeoutSeconds);
        return ready ? std::optional((*ready - m_spawned) / 1e6) : std::nullopt;
    }

    // The time of the next trace line of `event` marked at or after `after`.
    std::optional<qint64> readMark(const char* event, qint64 after, double timeoutSeconds)
    {
        const qint64 deadline = nowNs() + static_cast<qint64>(timeoutSeconds * 1e9);
        while (const std::optional<std::string> line = nextLine(deadline)) {
            char name[32] = {};
            long long ns = 0;
            if (std::sscanf(line->c_str(), "trace %31s %lld", name, &ns) == 2 && event == std::string(name) && ns >= after)
                return ns;
        }
        return std::nullopt;
    }

    // Reads trace lines until the first frame of a showing that started after `sent`.
    std::optional<Showing> readShowing(qint64 sent)
    {
        Showing showing;
        showing.sent = sent;
        const qint64 deadline = sent + static_cast<qint64>(traceTimeoutSeconds * 1e9);
        while (showing.painted < 0) {
            const std::optional<std::string> line = nextLine(deadline);
            if (!line)
                return std::nullopt;
            record(*line, showing);
        }
        return showing;
    }

    // Reads trace lines until the mark `event` with `value` (or nothing by the deadline).
    bool waitForMark(const char* event, qint64 value, double timeoutSeconds)
    {
        const qint64 deadline = nowNs() + static_cast<qint64>(timeoutSeconds * 1e9);
        const std::string prefix = std::string("trace ") + event + ' ';
        while (const std::optional<std::string> line = nextLine(deadline)) {
            if (line->rfind(prefix, 0) == 0 && line->substr(line->rfind(' ') + 1) == std::to_string(value))
                return true;
            if (line->rfind("trace ", 0) != 0)
                std::fprintf(stderr, "  ostrevane: %s\n", line->c_str());
        }
        return false;
    }

    // "VmRSS" (all resident pages) or "RssAnon" (the program's own heap and stacks).
    qint64 residentKilobytes(const char* field = "VmRSS") const
    {
        return statusField(readFile(QStringLiteral("/proc/%1/status").arg(m_pid)), field);
    }

private:
    void writeSettings()
    {
        QDir(m_folder).mkpath(QStringLiteral("config/ostrevane"));
        QFile file(QDir(m_folder).filePath(QStringLiteral("config/ostrevane/com.local.ostrevane.plist")));
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                   "<plist version=\"1.0\"><dict><key>Ostrevane.DidCompleteInteractiveOnboarding</key><true/>"
                   "</dict></plist>\n");
    }

    std::vector<std::string> environment(const QByteArray& display) const
    {
        // Its home and runtime folders are the benchmark's own: browser host manifests and
        // the browser socket stay out of the user's.
        std::vector<std::string> env = {"DISPLAY=" + display.toStdString(),
                                        "XDG_CONFIG_HOME=" + QDir(m_folder).filePath(QStringLiteral("config")).toStdString(),
                                        "TMPDIR=" + m_folder.toStdString(), "OSTREVANE_TRACE_TIMING=1",
                                        "LANG=C.UTF-8", "LC_ALL=C.UTF-8", "HOME=" + m_folder.toStdString(),
                                        "XDG_RUNTIME_DIR=" + m_folder.toStdString()};
        const char* replaced[] = {"DISPLAY=",  "XDG_CONFIG_HOME=",     "TMPDIR=", "OSTREVANE_", "LANG=",
                                  "LC_ALL=",   "QT_QPA_PLATFORM=",     "WAYLAND_DISPLAY=", "HOME=", "XDG_RUNTIME_DIR="};
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (std::none_of(std::begin(replaced), std::end(replaced),
                             [&](const char* prefix) { return entry.rfind(prefix, 0) == 0; }))
                env.push_back(entry);
        }
        return env;
    }

    pid_t spawn(const QByteArray& display)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return -1;
        std::vector<std::string> env = environment(display);
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        char binary[] = OSTREVANE_BINARY;
        char* argv[] = {binary, nullptr};
        m_spawned = nowNs();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        pid_t pid = -1;
        if (posix_spawn(&pid, binary, &actions, nullptr, argv, envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_stderr = fds[0];
        return pid;
    }

    // The next line of the program's standard error, or nothing by `deadline`.
    std::optional<std::string> nextLine(qint64 deadline)
    {
        for (;;) {
            if (const std::size_t end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const qint64 left = deadline - nowNs();
            pollfd watched{m_stderr, POLLIN, 0};
            if (left <= 0 || ::poll(&watched, 1, static_cast<int>(left / 1000000 + 1)) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t n = ::read(m_stderr, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt; // the program ended
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Marks older than the press belong to an earlier, abandoned showing.
    static void record(const std::string& line, Showing& showing)
    {
        char event[32] = {};
        long long ns = 0;
        long long value = -1;
        if (std::sscanf(line.c_str(), "trace %31s %lld %lld", event, &ns, &value) < 2) {
            std::fprintf(stderr, "  ostrevane: %s\n", line.c_str());
            return;
        }
        if (ns < showing.sent)
            return;
        static const std::map<std::string, qint64 Showing::*> marks = {{"key", &Showing::key},
                                                                       {"forward", &Showing::forward},
                                                                       {"exposed", &Showing::exposed},
                                                                       {"painted", &Showing::painted}};
        const auto found = marks.find(event);
        if (found == marks.end() || showing.*(found->second) >= 0)
            return;
        showing.*(found->second) = ns;
        if (found->second == &Showing::painted)
            showing.rows = static_cast<int>(value);
    }

    QString m_folder;
    pid_t m_pid = -1;
    qint64 m_spawned = 0;
    int m_stderr = -1;
    std::string m_buffer;
};

// One Alt+Tab, its trace, then Escape and Alt up and a pause for the slide-out.
std::optional<Showing> showOnce(XSide& x, TracedSwitcher& switcher)
{
    const qint64 sent = x.pressChord();
    std::optional<Showing> showing = switcher.readShowing(sent);
    x.cancel();
    sleepSeconds(betweenShowingsSeconds);
    return showing;
}

// The first press may come before the grab is in place on a slow start: try a few times.
std::optional<Showing> firstShowing(XSide& x, TracedSwitcher& switcher)
{
    for (int attempt = 0; attempt < firstShowingAttempts; ++attempt)
        if (std::optional<Showing> showing = showOnce(x, switcher))
            return showing;
    return std::nullopt;
}

// ---- Figures ----

struct Spread {
    double median = 0;
    double p90 = 0;
};

// Nearest-rank percentiles, in milliseconds.
Spread spread(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto rank = [&](double p) {
        const double position = std::ceil(p * static_cast<double>(values.size())) - 1;
        const std::size_t index = static_cast<std::size_t>(std::max(0.0, position));
        return values[std::min(index, values.size() - 1)];
    };
    return {rank(0.5), rank(0.9)};
}

double ms(qint64 from, qint64 to) { return from < 0 || to < 0 ? -1.0 : (to - from) / 1e6; }

Spread spreadOf(const std::vector<Showing>& showings, qint64 Showing::*from, qint64 Showing::*to)
{
    std::vector<double> values;
    for (const Showing& s : showings)
        if (const double v = ms(s.*from, s.*to); v >= 0)
            values.push_back(v);
    return spread(values);
}

struct CountResult {
    int windows = 0;
    int rows = -1;
    int showings = 0;
    int missed = 0;
    std::optional<Showing> first;
    std::vector<Showing> warm;
    qint64 rssStartKb = -1;
    qint64 rssIdleKb = -1; // the idle program: started, settled, nothing pressed yet
    qint64 rssAfterKb = -1;
    qint64 anonAfterKb = -1;
    qint64 rssEndKb = -1; // after every showing, to tell growth from a plateau
    qint64 anonEndKb = -1;
    qint64 rssRestedKb = -1; // once the program has handed back what the showings freed
    std::optional<double> readyMs;
    std::vector<double> tapMs;        // Alt release -> the window manager's announcement
    std::vector<double> tapRequestMs; // Alt release -> our activation request leaves
    std::vector<double> pagerMs;      // a pager's request -> the announcement, no switcher involved
    int tapsMissed = 0;
};

// Alt+Tab, and once the panel's first frame is up, Alt goes up as a person's tap: the time
// to the window manager's announcement of the chosen window, and to our request.
void tapOnce(XSide& x, TracedSwitcher& switcher, CountResult& result)
{
    const qint64 sent = x.pressChord();
    if (!switcher.readShowing(sent)) {
        x.cancel();
        ++result.tapsMissed;
        sleepSeconds(betweenShowingsSeconds);
        return;
    }
    const qint64 released = x.releaseAlt();
    const std::optional<qint64> active = x.waitForActivation();
    if (active)
        result.tapMs.push_back((*active - released) / 1e6);
    else
        ++result.tapsMissed;
    if (const std::optional<qint64> request = switcher.readMark("activate", released, traceTimeoutSeconds))
        result.tapRequestMs.push_back((*request - released) / 1e6);
    sleepSeconds(betweenShowingsSeconds);
}

// The same switch asked by a pager, while the switcher idles.
void pagerOnce(XSide& x, CountResult& result)
{
    const qint64 sent = x.pagerActivate();
    if (const std::optional<qint64> active = x.waitForActivation())
        result.pagerMs.push_back((*active - sent) / 1e6);
    sleepSeconds(betweenShowingsSeconds);
}

void printSpread(const char* label, const Spread& s) { std::printf("  %-26s %8.2f %8.2f\n", label, s.median, s.p90); }

void printResult(const CountResult& r)
{
    std::printf("\n%d windows, %d rows, %d showings (%d without a frame within %.0f s)\n", r.windows, r.rows,
                static_cast<int>(r.warm.size()), r.missed, traceTimeoutSeconds);
    std::printf("  %-26s %8s %8s   (ms)\n", "", "median", "p90");
    printSpread("key -> panel mapped", spreadOf(r.warm, &Showing::sent, &Showing::exposed));
    printSpread("key -> first frame", spreadOf(r.warm, &Showing::sent, &Showing::painted));
    printSpread("forward() -> first frame", spreadOf(r.warm, &Showing::forward, &Showing::painted));
    printSpread("  key -> press seen", spreadOf(r.warm, &Showing::sent, &Showing::key));
    printSpread("  press seen -> forward()", spreadOf(r.warm, &Showing::key, &Showing::forward));
    printSpread("  forward() -> mapped", spreadOf(r.warm, &Showing::forward, &Showing::exposed));
    printSpread("  mapped -> first frame", spreadOf(r.warm, &Showing::exposed, &Showing::painted));
    if (r.first) {
        std::printf("  first showing after start: key -> mapped %.2f, -> frame %.2f, forward() -> frame %.2f\n",
                    ms(r.first->sent, r.first->exposed), ms(r.first->sent, r.first->painted),
                    ms(r.first->forward, r.first->painted));
        std::printf("    (key -> press seen %.2f, press seen -> forward() %.2f, forward() -> mapped %.2f, mapped -> frame "
                    "%.2f)\n",
                    ms(r.first->sent, r.first->key), ms(r.first->key, r.first->forward),
                    ms(r.first->forward, r.first->exposed), ms(r.first->exposed, r.first->painted));
    }
    printSpread("quick tap: release -> active", spread(r.tapMs));
    printSpread("  release -> request sent", spread(r.tapRequestMs));
    printSpread("  a pager's request -> active", spread(r.pagerMs));
    std::printf("  quick taps: %d measured, %d without an activation within %.0f s\n", static_cast<int>(r.tapMs.size()),
                r.tapsMissed, activationTimeoutSeconds);
    if (r.readyMs)
        std::printf("  start -> ready: %.1f ms\n", *r.readyMs);
    std::printf("  RSS: %lld kB after start, %lld kB idle (%.0f s later), %lld kB after %d showings (%lld kB "
                "anonymous), %lld kB after %d (%lld kB anonymous)\n",
                static_cast<long long>(r.rssStartKb), static_cast<long long>(r.rssIdleKb), restSeconds,
                static_cast<long long>(r.rssAfterKb), rssAfterShowings,
                static_cast<long long>(r.anonAfterKb), static_cast<long long>(r.rssEndKb), r.showings + 1,
                static_cast<long long>(r.anonEndKb));
    std::printf("  RSS %.0f s later: %lld kB\n", restSeconds, static_cast<long long>(r.rssRestedKb));
}

// ---- The session ----

// The X session and its clients; clients are forked while this program has no thread.
class Desktop {
public:
    Desktop() : m_clients(m_session.display()) {}

    bool grow(int windows)
    {
        if (!m_session.isReady()) {
            std::fprintf(stderr, "No X session: %s\n", qPrintable(m_session.failure()));
            return false;
        }
        m_clients.growTo(windows);
        if (!m_x) {
            m_x = std::make_unique<XSide>(m_session.display());
            m_x->warmUpKeys();
        }
        const bool managed = XvfbSession::waitUntil(
            [&] {
                m_x->nudgeWindowManager();
                return m_x->managedWindows() >= windows;
            },
            clientsTimeoutSeconds);
        if (!managed || !m_x->isUsable())
            std::fprintf(stderr, "The clients or the keyboard did not come up (%d windows managed)\n",
                         m_x->managedWindows());
        return managed && m_x->isUsable();
    }

    XSide& x() { return *m_x; }
    const QByteArray& display() const { return m_session.display(); }

private:
    XvfbSession m_session;
    ostrevane::bench::ClientProcesses m_clients;
    std::unique_ptr<XSide> m_x;
};

// A fresh program per window count, so each starts from its own warm-up.
CountResult measureCount(Desktop& desktop, int windows, int showings, int taps, int tabs)
{
    CountResult result;
    result.windows = windows;
    QTemporaryDir folder;
    TracedSwitcher switcher(desktop.display(), folder);
    result.readyMs = switcher.waitForReady();
    if (!result.readyMs) {
        std::fprintf(stderr, "The switcher did not start\n");
        return result;
    }
    std::unique_ptr<ostrevane::bench::BenchFakeBrowser> browser;
    if (tabs > 0) {
        browser = std::make_unique<ostrevane::bench::BenchFakeBrowser>(desktop.display(), folder.path(), tabs);
        if (!browser->isRunning() || !switcher.waitForMark("tabs-stored", tabs, startTimeoutSeconds)) {
            std::fprintf(stderr, "The browser's %d tabs did not reach the switcher\n", tabs);
            return result;
        }
    }
    sleepSeconds(settleSeconds);
    result.rssStartKb = switcher.residentKilobytes();
    sleepSeconds(restSeconds);
    result.rssIdleKb = switcher.residentKilobytes();
    result.first = firstShowing(desktop.x(), switcher);
    for (int i = 1; i <= showings; ++i) {
        if (std::optional<Showing> showing = showOnce(desktop.x(), switcher)) {
            result.rows = showing->rows;
            result.warm.push_back(*showing);
        } else {
            ++result.missed;
        }
        if (i + 1 == rssAfterShowings) { // the first showing counts too
            result.rssAfterKb = switcher.residentKilobytes();
            result.anonAfterKb = switcher.residentKilobytes("RssAnon");
        }
    }
    result.showings = showings;
    result.rssEndKb = switcher.residentKilobytes();
    result.anonEndKb = switcher.residentKilobytes("RssAnon");
    sleepSeconds(restSeconds);
    result.rssRestedKb = switcher.residentKilobytes();
    for (int i = 0; i < taps; ++i) {
        tapOnce(desktop.x(), switcher, result);
        pagerOnce(desktop.x(), result);
    }
    return result;
}

int runLatency(const std::vector<int>& windowCounts, int showings, int taps, int tabs)
{
    Desktop desktop;
    std::printf("Panel latency on a private Xvfb + openbox session; load average before: %s\n",
                qPrintable(loadAverage()));
    for (const int windows : windowCounts) {
        if (!desktop.grow(windows))
            return 1;
        if (tabs > 0)
            std::printf("\nwith a browser of %d tabs in 20 windows", tabs);
        printResult(measureCount(desktop, windows, showings, taps, tabs));
        std::fflush(stdout);
    }
    std::printf("\nload average after: %s\n", qPrintable(loadAverage()));
    return 0;
}

// ---- Idle ----

struct ThreadSample {
    QString name;
    qint64 runNs = 0;
    qint64 voluntary = 0;
    qint64 involuntary = 0;
};

std::map<int, ThreadSample> sampleThreads(pid_t pid)
{
    std::map<int, ThreadSample> threads;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString base = tasks + QLatin1Char('/') + tid + QLatin1Char('/');
        const QByteArray status = readFile(base + QStringLiteral("status"));
        ThreadSample sample;
        sample.name = QString::fromUtf8(readFile(base + QStringLiteral("comm")).trimmed());
        sample.runNs = readFile(base + QStringLiteral("schedstat")).split(' ').value(0).toLongLong();
        sample.voluntary = statusField(status, "voluntary_ctxt_switches");
        sample.involuntary = statusField(status, "nonvoluntary_ctxt_switches");
        threads[tid.toInt()] = sample;
    }
    return threads;
}

// utime + stime of the whole process (threads that ended included), in clock ticks.
qint64 processTicks(pid_t pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong(); // fields 14 and 15
}

void printIdle(const std::map<int, ThreadSample>& before, const std::map<int, ThreadSample>& after, qint64 ticks,
               double seconds)
{
    std::printf("  %-18s %7s %10s %10s %12s\n", "thread", "tid", "CPU ms", "wake-ups", "preempted");
    qint64 totalNs = 0, totalWakeups = 0;
    for (const auto& [tid, end] : after) {
        const auto start = before.find(tid);
        const ThreadSample zero;
        const ThreadSample& from = start == before.end() ? zero : start->second;
        const qint64 wakeups = end.voluntary - from.voluntary;
        totalNs += end.runNs - from.runNs;
        totalWakeups += wakeups;
        std::printf("  %-18s %7d %10.2f %10lld %12lld%s\n", qPrintable(end.name), tid, (end.runNs - from.runNs) / 1e6,
                    static_cast<long long>(wakeups), static_cast<long long>(end.involuntary - from.involuntary),
                    start == before.end() ? "  (started during the measurement)" : "");
    }
    for (const auto& [tid, gone] : before)
        if (!after.count(tid))
            std::printf("  %-18s %7d ended during the measurement\n", qPrintable(gone.name), tid);
    std::printf("  total: %.2f ms CPU over %.0f s (%.4f %%), %lld wake-ups (%.2f per second); process ticks: %lld "
                "(%ld per second)\n",
                totalNs / 1e6, seconds, totalNs / 1e7 / seconds, static_cast<long long>(totalWakeups),
                totalWakeups / seconds, static_cast<long long>(ticks), ::sysconf(_SC_CLK_TCK));
}

int runIdle(double seconds)
{
    Desktop desktop;
    if (!desktop.grow(idleWindowCount))
        return 1;
    QTemporaryDir folder;
    TracedSwitcher switcher(desktop.display(), folder);
    if (!switcher.waitForReady() || !firstShowing(desktop.x(), switcher)) {
        std::fprintf(stderr, "The switcher did not start or show its panel\n");
        return 1;
    }
    sleepSeconds(idleSettleSeconds);
    std::printf("Idle for %.0f s with the panel hidden and %d windows; load average before: %s\n", seconds,
                idleWindowCount, qPrintable(loadAverage()));
    std::fflush(stdout);
    const std::map<int, ThreadSample> before = sampleThreads(switcher.pid());
    const qint64 ticksBefore = processTicks(switcher.pid());
    sleepSeconds(seconds);
    const std::map<int, ThreadSample> after = sampleThreads(switcher.pid());
    printIdle(before, after, processTicks(switcher.pid()) - ticksBefore, seconds);
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int showings = defaultShowings;
    int taps = defaultTaps;
    std::vector<int> windowCounts = defaultWindowCounts;
    std::optional<double> idle;
    int tabs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--windows" && i + 1 < argc) {
            windowCounts.clear();
            for (const QByteArray& count : QByteArray(argv[++i]).split(','))
                windowCounts.push_back(std::max(1, count.toInt()));
            std::sort(windowCounts.begin(), windowCounts.end()); // clients are only ever added
        } else if (argument == "--showings" && i + 1 < argc)
            showings = std::max(rssAfterShowings, std::atoi(argv[++i]));
        else if (argument == "--taps" && i + 1 < argc)
            taps = std::max(0, std::atoi(argv[++i]));
        else if (argument == "--tabs" && i + 1 < argc)
            tabs = std::max(0, std::atoi(argv[++i]));
        else if (argument == "--idle")
            idle = i + 1 < argc && std::atof(argv[i + 1]) > 0 ? std::atof(argv[++i]) : defaultIdleSeconds;
        else {
            std::fprintf(stderr, "usage: %s [--windows 10,50,200] [--showings N] [--taps N] [--tabs N] [--idle [seconds]]\n",
                         argv[0]);
            return 2;
        }
    }
    return idle ? runIdle(*idle) : runLatency(windowCounts, showings, taps, tabs);
}
