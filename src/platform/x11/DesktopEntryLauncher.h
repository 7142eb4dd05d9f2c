#pragma once

#include "core/sources/DesktopEntryReader.h"
#include "core/platform/Accessibility.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace ostrevane {

class Dispatcher;
class X11Connection;

// Where the user's terminal emulator is looked for, so a test can set the scene.
struct TerminalSources {
    QString terminalVariable;   // $TERMINAL: a command line the user chose
    QStringList currentDesktops; // $XDG_CURRENT_DESKTOP
    QString configHome;         // $XDG_CONFIG_HOME (or ~/.config)
    // The full path of an installed program, or empty.
    std::function<QString(const QString& program)> findExecutable;

    static TerminalSources fromEnvironment();
};

// Starts the program of a desktop entry the way desktops do:
// - DBusActivatable entries are asked over the session bus
//   (org.freedesktop.Application.Activate on the bus name of the desktop id); when the
//   bus cannot reach the application, its Exec line is run instead.
// - The Exec line runs without a shell (field codes filled in, no files to open), in the
//   entry's Path, inside the user's terminal emulator when Terminal=true.
// - Every launch carries a startup notification: the program gets DESKTOP_STARTUP_ID
//   (and the bus activation its desktop-startup-id) with the timestamp of the request, so
//   that focus-stealing prevention lets its first window take the focus, and the window
//   manager is told the launch began ("new:" on _NET_STARTUP_INFO) until finish() says
//   it ended.
// A launch that cannot start (TryExec program missing, Exec invalid, program or working
// directory not found, no terminal emulator) fails with a description, never anything
// else in its place. Thread-safe. A program started directly completes before launch()
// returns; a bus activation completes later, on the dispatcher's main queue.
class DesktopEntryLauncher {
public:
    // The launch's startup id (to pass to finish() once its window appeared), the process
    // started when known (a bus activation starts none we can see), or why nothing started.
    using Completion =
        std::function<void(const QString& startupID, std::optional<ProcessID> pid, std::optional<QString> error)>;

    // How long a bus activation may take (the bus may start the service first).
    static constexpr int busTimeoutMilliseconds = 25000;

    DesktopEntryLauncher(std::shared_ptr<X11Connection> connection, Dispatcher& dispatcher,
                         TerminalSources terminals = TerminalSources::fromEnvironment());
    ~DesktopEntryLauncher();
    DesktopEntryLauncher(const DesktopEntryLauncher&) = delete;
    DesktopEntryLauncher& operator=(const DesktopEntryLauncher&) = delete;

    // Starts `entry`.
    void launch(const DesktopEntry& entry, Completion completion);
    // Tells the window manager that the launch with this startup id has ended (its window
    // appeared, or it never will).
    void finish(const QString& startupID);

    // The program and arguments that run `command` inside `terminal` (a terminal's own
    // command line), following the terminal's convention for the program to run.
    static QStringList inTerminal(const QStringList& terminal, const QStringList& command);
    // The user's terminal emulator as a command line: $TERMINAL, the desktop's configured
    // one (KDE, Xfce), xdg-terminal-exec, x-terminal-emulator, then well-known ones.
    static std::optional<QStringList> terminalCommand(const TerminalSources& sources);
    // A startup notification message's text: `kind` ("new", "remove") and quoted values.
    static QByteArray startupMessage(const QString& kind, const std::vector<std::pair<QString, QString>>& values);

private:
    struct Started {
        std::optional<ProcessID> pid;
        std::optional<QString> error;
    };
    // One launch, carrying what it needs: it may outlive the launcher on a background queue.
    struct Launch {
        std::shared_ptr<X11Connection> connection;
        Dispatcher* dispatcher;
        TerminalSources terminals;
        DesktopEntry entry;
        QString startupID;
        std::weak_ptr<bool> alive;
        Completion completion;

        Started runExec() const;
        std::optional<QString> activateOverBus() const;
        QProcessEnvironment environment() const;
        void ended(const Started& started) const;
    };

    QString makeStartupID(const DesktopEntry& entry, xcb_timestamp_t time);
    void announce(const DesktopEntry& entry, const QString& startupID, xcb_timestamp_t time);
    static void sendStartupMessage(X11Connection& connection, const QByteArray& message);

    std::shared_ptr<X11Connection> m_connection;
    Dispatcher& m_dispatcher;
    TerminalSources m_terminals;
    std::atomic<quint64> m_sequence = 0;
    std::shared_ptr<bool> m_alive; // held weakly by queued completions
};

} // namespace ostrevane
