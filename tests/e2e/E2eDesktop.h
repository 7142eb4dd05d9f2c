#pragma once

#include "../x11/XvfbSession.h"

#include <QProcess>
#include <QRect>
#include <QSize>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ostrevane::e2e {

using namespace std::chrono_literals;
using Timeout = std::chrono::milliseconds;

// A child process that is always stopped when its owner goes: asked to terminate, then
// killed if it does not end within a second.
class Child {
public:
    // Where the child's standard error goes: kept apart (errors()) or into the output
    // lines (a program whose log the test reads).
    enum class Errors { separate, merged };
    Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
          Errors errors = Errors::separate);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Whether the child still runs (asks the system, not the event loop).
    bool isRunning();
    qint64 pid() const { return m_process.processId(); }
    // The next standard-output line starting with `prefix` (the lines before it are
    // consumed), or nothing when none arrives in time.
    std::optional<QString> waitForLine(const QString& prefix, Timeout timeout);
    // Writes `line` and a line feed to the child's standard input.
    void write(const QString& line);
    // Every output line read so far, for failure messages.
    QString transcript() const { return m_transcript.join(QLatin1Char('\n')); }
    QString errors();
    // How the child ended or failed to start.
    QString status();

private:
    QProcess m_process;
    QStringList m_transcript;
};

// How a switcher starts: `settings` are key/value elements of its property list;
// `desktopEntries` are file name and text of entries in its own applications folder;
// `environment` adds or replaces variables of its own.
// (At namespace scope: a default argument cannot be a nested struct with initializers.)
struct SwitcherSetup {
    QString settings;
    std::vector<std::pair<QString, QString>> desktopEntries;
    bool guideDone = true; // otherwise the first-run guide opens
    // Start again in the folders (settings, data, runtime) of the switcher started
    // last, as after a restart; its settings file is left as that one left it.
    bool restart = false;
    // Variables set in its environment beyond the usual ones.
    std::vector<std::pair<QString, QString>> environment;
};

// A private X session for one test suite (Xvfb and openbox without its Alt+Tab bindings,
// so the switcher can take the chord) and the programs the tests run on it.
class E2eDesktop {
public:
    using WindowManager = x11test::XvfbSession::WindowManager;
    explicit E2eDesktop(WindowManager manager = WindowManager::openbox) : m_session(manager) {}

    bool isUp() const { return m_session.isReady(); }
    // Why the session did not come up.
    QString failure() const { return m_session.failure(); }
    QString display() const { return QString::fromLatin1(m_session.display()); }
    QProcessEnvironment environment() const;

    // Runs the switcher (the build's, or `binary`) in test panel mode with an initial
    // selection (none: unset).
    std::unique_ptr<Child> startTestPanel(const std::optional<QString>& selection,
                                          const QString& binary = QStringLiteral(OSTREVANE_BINARY));
    using SwitcherSetup = e2e::SwitcherSetup;
    // Runs the switcher as a person does, in fresh settings and data folders. Its panel log
    // (the rows of each showing and rebuild) comes with its output lines. Returns once it
    // listens for second copies, which it does only after its hotkey is registered;
    // nothing when it does not in time.
    std::unique_ptr<Child> startSwitcher(const SwitcherSetup& setup = {});
    // The environment such a switcher runs in (fresh folders, written settings); a second
    // start in it meets the first. Empty when the folders could not be written.
    QProcessEnvironment switcherEnvironment(const SwitcherSetup& setup = {});
    // Starts a switcher in `environment` and returns once it accepts second copies.
    std::unique_ptr<Child> startSwitcherIn(const QProcessEnvironment& environment);
    // The program run with `arguments` until it ends, as a shell would.
    struct Finished {
        bool ended = false;
        int exitCode = -1;
        QString out, err;
    };
    Finished runSwitcher(const QProcessEnvironment& environment, const QStringList& arguments) const;
    // The environment of the switcher started last (its home, configuration and runtime
    // folders), for programs that must share them, such as browsers and their connectors.
    QProcessEnvironment lastSwitcherEnvironment() const { return m_switcherEnvironment; }
    // The settings file of the switcher started last.
    QString settingsFile() const;
    // A folder that stays empty, for search paths that must find nothing.
    QString emptyFolder() { return freshFolder(QStringLiteral("empty")); }
    // Runs a client program and waits until a window titled exactly `title` exists.
    std::unique_ptr<Child> startClient(const QString& program, const QStringList& arguments, const QString& title);
    // An xterm titled `title` (and its other `options`) that runs only a sleep, so no shell
    // renames it.
    std::unique_ptr<Child> startXterm(const QString& title, const QStringList& options = {});

    // The window titled exactly `title`, or nothing.
    std::optional<QString> windowTitled(const QString& title) const;
    // Every visible window titled exactly `title`, or whose title matches `pattern`.
    QStringList windowsTitled(const QString& title) const;
    QStringList windowsNamed(const QString& pattern) const;
    // The active window's id, and activating one by id (waiting until it is active).
    QString activeWindow() const;
    bool activateWindow(const QString& window) const;
    // The current desktop (0 first).
    int currentDesktop() const;
    // Activates the window titled `title` and waits until it is the active window.
    bool activate(const QString& title) const;
    QString activeWindowTitle() const;
    bool waitForActiveTitle(const QString& title, Timeout timeout) const;
    // The windows of `pid` that are mapped and on the screen; the first of them, or nothing.
    QStringList visibleWindowsOf(qint64 pid) const;
    std::optional<QString> visibleWindowOf(qint64 pid) const;
    QSize screenSize() const;
    // A window's frame on the root window.
    std::optional<QRect> windowGeometry(const QString& window) const;
    // The atom names of a window's ATOM-list property.
    QStringList atomNames(const QString& window, const char* property) const;

    // xdotool with the arguments; true when it exited with 0. `output` gets its stdout.
    bool xdotool(const QStringList& arguments, QString* output = nullptr) const;
    // `program` run on this display; true when it exited with 0. `output` gets its stdout.
    bool runTool(const QString& program, const QStringList& arguments, int timeoutMs, QString* output = nullptr) const;
    // Waits until `pid` has a visible window and a client holds the keyboard (the panel
    // takes every key with a grab while it is up).
    bool waitForKeyboardHeldBy(qint64 pid, Timeout timeout) const;
    // Whether another client could grab the keyboard, or the pointer, now (no client
    // holds it).
    bool keyboardIsFree() const;
    bool pointerIsFree() const;
    // The windows the window manager manages (_NET_CLIENT_LIST), as decimal ids.
    QStringList managedWindows() const;
    // Whether the window bypasses the window manager.
    bool isOverrideRedirect(const QString& window) const;
    // The rectangles a window is cut to (its own coordinates); nothing when it is whole.
    std::optional<std::vector<QRect>> boundingShape(const QString& window) const;
    // Waits until a visible window of `pid` has slid in to rest against the screen's right
    // (or left) edge: there and fully opaque.
    bool waitForPanelAtRest(qint64 pid, Timeout timeout, Qt::Edge edge = Qt::RightEdge) const;
    // Waits until `pid` has no visible window.
    bool waitForNoVisibleWindow(qint64 pid, Timeout timeout) const;
    // Saves the whole screen to `path` (/usr/bin/import).
    bool screenshot(const QString& path) const;
    // Polls `condition` until it holds or time runs out.
    bool waitUntil(const std::function<bool()>& condition, Timeout timeout) const;

private:
    QString freshFolder(const QString& name);
    // xdotool's output, empty when it failed.
    QString output(const QStringList& arguments) const;
    // A CARDINAL property's first value.
    std::optional<quint32> cardinal(const QString& window, const char* property) const;

    x11test::XvfbSession m_session;
    int m_folders = 0;
    QProcessEnvironment m_switcherEnvironment;
    QStringList m_lastSwitcherFolders; // config, data, runtime
};

// A suite of tests sharing one private desktop; a failing test leaves a screenshot and
// the program's output behind.
class E2eSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new E2eDesktop; }
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Key presses by xdotool key name ("Return", "alt", "Tab", "x").
    void keys(const QStringList& names);
    void type(const QString& text);
    // Holds Alt while pressing `names`, then releases it.
    void withAlt(const QStringList& names);
    void holdAlt(const QStringList& names);
    void releaseAlt();

    static E2eDesktop* desktop;
    // The program under test and the clients it works on; stopped after each test.
    std::unique_ptr<Child> app;
    std::vector<std::unique_ptr<Child>> clients;
};

// Where failure screenshots go (created on demand).
QString artifactsDirectory();

} // namespace ostrevane::e2e
