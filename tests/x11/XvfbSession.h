#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostrevane::x11test {

// A private X session for one test program: Xvfb on a free display (it picks one and
// reports it through -displayfd) and, unless asked otherwise, openbox with its Alt+Tab
// bindings removed (or fluxbox, likewise, where a second EWMH window manager matters).
// Clients started through it are killed, with the window manager and the server, when
// the session ends, whatever the test did; should the test program itself die (a crash,
// a time-out), the kernel ends them too, so that no X server of a dead test lingers
// (with the descriptors it inherited).
class XvfbSession {
public:
    enum class WindowManager { none, openbox, fluxbox };

    // Generous: a loaded two-core machine may start these slowly. Never a speed check.
    static constexpr double startTimeoutSeconds = 15.0;
    static constexpr double exitTimeoutSeconds = 5.0;

    explicit XvfbSession(WindowManager manager = WindowManager::openbox)
    {
        if (!startServer()) {
            m_failure = QStringLiteral("Xvfb did not report a display");
            return;
        }
        m_ready = manager == WindowManager::none || startWindowManager(manager);
        if (!m_ready)
            m_failure = QStringLiteral("the window manager did not start on ") + QString::fromLatin1(m_display)
                + QStringLiteral(": ") + QString::fromUtf8(readLog());
    }

    ~XvfbSession()
    {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
            stop(*it);
    }

    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool isReady() const { return m_ready; }
    // Why the session is not ready.
    const QString& failure() const { return m_failure; }
    const QByteArray& display() const { return m_display; }

    // Starts a program on this display; -1 when it cannot be started. `environment` adds
    // NAME=VALUE entries to (or replaces them in) the test's own.
    pid_t start(const QStringList& arguments, const std::vector<std::string>& environment = {})
    {
        return spawn(arguments, environment);
    }

    // Ends a program started here (SIGTERM, then SIGKILL) and reaps it.
    void stop(pid_t pid)
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        if (!waitUntil([&] { return hasExited(pid); }, exitTimeoutSeconds)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::erase(m_children, pid);
    }

    // Ends a program at once, as a crash would.
    void killNow(pid_t pid)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        std::erase(m_children, pid);
    }

    bool hasExited(pid_t pid)
    {
        const pid_t reaped = ::waitpid(pid, nullptr, WNOHANG);
        return reaped == pid || (reaped < 0 && errno == ECHILD);
    }

    // Checks `condition` until it holds or `timeoutSeconds` pass. X state has no event
    // to wait on from here, so it is polled; the time-out only guards a hung test.
    static bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMilliseconds));
        }
        return true;
    }

    QString folder() const { return m_dir.path(); }
    // What the session's programs wrote.
    QByteArray readLog() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    static constexpr int pollMilliseconds = 10;

    QString logPath() const { return m_dir.filePath(QStringLiteral("errors.log")); }

    bool startServer()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        const pid_t server = spawn({QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QString::number(fds[1]),
                                    QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                                    QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                    // Without it the server resets when its last client leaves,
                                    // and drops a client that connects meanwhile.
                                    QStringLiteral("-noreset")},
                                   {});
        ::close(fds[1]);
        const QByteArray number = readLine(fds[0]);
        ::close(fds[0]);
        if (server < 0 || number.isEmpty())
            return false;
        m_display = ":" + number;
        return true;
    }

    // Xvfb writes the display number and a newline once it accepts connections.
    static QByteArray readLine(int fd)
    {
        QByteArray line;
        pollfd watched{fd, POLLIN, 0};
        const int timeout = static_cast<int>(startTimeoutSeconds * 1000);
        while (!line.endsWith('\n') && ::poll(&watched, 1, timeout) > 0) {
            char c = 0;
            if (::read(fd, &c, 1) != 1)
                break;
            line += c;
        }
        return line.endsWith('\n') ? line.trimmed() : QByteArray();
    }

    bool startWindowManager(WindowManager manager)
    {
        const QStringList command = manager == WindowManager::fluxbox ? fluxboxCommand() : openboxCommand();
        if (command.isEmpty() || start(command, windowManagerEnvironment()) < 0)
            return false;
        return waitUntil([&] { return hasWindowManager(); }, startTimeoutSeconds) && managesWindows();
    }

    // fluxbox keeps its state in $HOME/.fluxbox: the session's folder, not the user's. Its
    // wallpaper program fails under Xvfb and says so in a window that takes the focus; a
    // stand-in that does nothing takes its place.
    std::vector<std::string> windowManagerEnvironment() const
    {
        const QString bin = m_dir.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        QFile::link(QStringLiteral("/bin/true"), bin + QStringLiteral("/fbsetbg"));
        return {"HOME=" + m_dir.path().toStdString(), "PATH=" + (bin + QLatin1Char(':')).toStdString() + qgetenv("PATH").toStdString()};
    }

    // A copy of a configuration file without the lines `unwanted` matches; the copy's path,
    // or nothing when the original cannot be read.
    QString configCopy(const QString& original, const QString& name, const QRegularExpression& unwanted,
                       const QString& appended = QString()) const
    {
        QFile source(original);
        QFile copy(m_dir.filePath(name));
        if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
            return QString();
        copy.write((QString::fromUtf8(source.readAll()).remove(unwanted) + appended).toUtf8());
        return copy.fileName();
    }

    // Without these copies, the manager holds Alt+Tab and every grab of the chord fails.
    QStringList openboxCommand() const
    {
        static const QRegularExpression tabBindings(
            QStringLiteral(R"re(<keybind key="(A-Tab|A-S-Tab|C-A-Tab)">.*?</keybind>)re"),
            QRegularExpression::DotMatchesEverythingOption);
        const QString config = configCopy(QStringLiteral("/etc/xdg/openbox/rc.xml"), QStringLiteral("rc.xml"), tabBindings);
        return config.isEmpty() ? QStringList{} : QStringList{QStringLiteral("openbox"), QStringLiteral("--config-file"), config};
    }

    // fluxbox reads $HOME/.fluxbox/keys (HOME being the session's folder) and makes what
    // else it needs there.
    QStringList fluxboxCommand() const
    {
        static const QRegularExpression tabBindings(QStringLiteral("(?m)^Mod1 (Shift )?Tab .*$"));
        QDir(m_dir.path()).mkpath(QStringLiteral(".fluxbox"));
        if (configCopy(QStringLiteral("/etc/X11/fluxbox/keys"), QStringLiteral(".fluxbox/keys"), tabBindings).isEmpty())
            return {};
        return {QStringLiteral("fluxbox")};
    }

    // openbox announces itself before it handles events: a client mapped in between stays
    // unmanaged until openbox gets some other event. A probe window is mapped and openbox
    // is prodded until the probe is managed, so the tests' clients never fall in that gap.
    bool managesWindows() const
    {
        xcb_connection_t* c = xcb_connect(m_display.constData(), nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return false;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(c, probe);
        const bool managed = waitUntil(
            [&] {
                xcb_client_message_event_t prod = {};
                prod.response_type = XCB_CLIENT_MESSAGE;
                prod.format = 32;
                prod.window = screen->root;
                prod.type = XCB_ATOM_NOTICE; // a message type no window manager acts on
                xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                               reinterpret_cast<const char*>(&prod));
                auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, probe), nullptr);
                const bool reparented = tree && tree->parent != screen->root; // framed by the manager
                std::free(tree);
                return reparented;
            },
            startTimeoutSeconds);
        xcb_destroy_window(c, probe);
        xcb_disconnect(c);
        return managed;
    }

    bool hasWindowManager() const
    {
        xcb_connection_t* c = xcb_connect(m_display.constData(), nullptr);
        bool found = false;
        if (!xcb_connection_has_error(c)) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            const char name[] = "_NET_SUPPORTING_WM_CHECK";
            auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof(name) - 1, name), nullptr);
            if (atom && atom->atom != XCB_NONE) {
                auto* p = xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
                found = p && xcb_get_property_value_length(p) == 4;
                std::free(p);
            }
            std::free(atom);
        }
        xcb_disconnect(c);
        return found;
    }

    // Every descriptor without close-on-exec is passed on (Xvfb writes its display number
    // to one). The child is killed when the thread that started it ends: tests start
    // programs from their main thread.
    pid_t spawn(const QStringList& arguments, const std::vector<std::string>& extra)
    {
        std::vector<std::string> args;
        for (const QString& argument : arguments)
            args.push_back(argument.toStdString());
        std::vector<std::string> env = extra;
        const auto add = [&](const std::string& entry) {
            const bool set = std::any_of(env.begin(), env.end(), [&](const std::string& own) {
                return entry.compare(0, own.find('=') + 1, own, 0, own.find('=') + 1) == 0;
            });
            if (!set)
                env.push_back(entry);
        };
        for (const std::string& entry : {"DISPLAY=" + m_display.toStdString(), std::string("LANG=C.UTF-8"),
                                         std::string("LC_ALL=C.UTF-8")})
            add(entry);
        for (char** e = environ; *e; ++e)
            add(*e);
        std::vector<char*> argv, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        // The programs' chatter would bury the test output; it is kept for failure messages.
        const std::string log = logPath().toStdString();
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127); // the test died before the line above
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (out >= 0) {
                ::dup2(out, STDOUT_FILENO);
                ::dup2(out, STDERR_FILENO);
            }
            ::execvpe(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (pid < 0)
            return -1;
        m_children.push_back(pid);
        return pid;
    }

    QTemporaryDir m_dir;
    QByteArray m_display;
    bool m_ready = false;
    QString m_failure;
    std::vector<pid_t> m_children; // in start order: stopped in reverse
};

} // namespace ostrevane::x11test
