#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>

namespace ostrevane::e2e {

using namespace std::chrono_literals;
using Timeout = std::chrono::milliseconds;

// A child process that is always stopped when its owner goes: asked to terminate, then
// killed if it does not end within a second.
class Child {
public:
    // `forwardErrors`: the child's standard error goes to this process's (servers).
    Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
          bool forwardErrors = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Whether the child still runs (asks the system, not the event loop).
    bool isRunning();
    qint64 pid() const { return m_process.processId(); }
    // The next standard-output line starting with `prefix` (the lines before it are
    // consumed), or nothing when none arrives in time.
    std::optional<QString> waitForLine(const QString& prefix, Timeout timeout);
    // Every output line read so far, for failure messages.
    QString transcript() const { return m_transcript.join(QLatin1Char('\n')); }
    QString errors();
    // How the child ended or failed to start.
    QString status();

private:
    QProcess m_process;
    QStringList m_transcript;
};

// A private X session for one test suite: Xvfb on a free display and openbox with the
// stock configuration minus its Alt+Tab bindings (so the switcher can take the chord).
class E2eDesktop {
public:
    // Starts both and waits until the window manager is up; check isUp().
    E2eDesktop();
    ~E2eDesktop();

    bool isUp() const { return m_up; }
    // Why the session did not come up.
    QString failure() const { return m_failure; }
    QString display() const { return m_display; }
    QProcessEnvironment environment() const;

    // Runs the switcher in test panel mode with an initial selection (none: unset).
    std::unique_ptr<Child> startTestPanel(const std::optional<QString>& selection);

    // xdotool with the arguments; true when it exited with 0. `output` gets its stdout.
    bool xdotool(const QStringList& arguments, QString* output = nullptr) const;
    // Waits until `pid` has a visible window that has the keyboard focus.
    bool waitForFocusedWindow(qint64 pid, Timeout timeout) const;
    // Waits until the focused window has slid in to rest against the screen's right edge.
    bool waitForFocusedWindowAtRightEdge(Timeout timeout) const;
    // Waits until `pid` has no visible window.
    bool waitForNoVisibleWindow(qint64 pid, Timeout timeout) const;
    // Saves the whole screen to `path` (/usr/bin/import).
    bool screenshot(const QString& path) const;

private:
    bool startServer();
    bool startWindowManager();
    bool waitUntil(const std::function<bool()>& condition, Timeout timeout) const;
    bool hasWindowManager() const;

    QTemporaryDir m_dir;
    QString m_display;
    std::unique_ptr<Child> m_server;
    std::unique_ptr<Child> m_windowManager;
    bool m_up = false;
    QString m_failure;
};

// Where failure screenshots go (created on demand).
QString artifactsDirectory();

} // namespace ostrevane::e2e
