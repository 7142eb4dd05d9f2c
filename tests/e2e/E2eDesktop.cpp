#include "E2eDesktop.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrevane::e2e {

namespace {

constexpr Timeout clientTimeout = 20s;
constexpr Timeout switcherStartTimeout = 20s;
constexpr unsigned long pollIntervalMs = 20;

// The file's inode and change time, empty when there is none: a socket made anew at a
// path where a killed program left one is another file.
QString identityOf(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QString();
    return QStringLiteral("%1 %2.%3").arg(status.st_ino).arg(status.st_ctim.tv_sec).arg(status.st_ctim.tv_nsec);
}

bool writeFile(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// xcb replies are malloc'ed.
template <class T>
std::unique_ptr<T, decltype(&std::free)> owned(T* reply)
{
    return {reply, &std::free};
}

// A short-lived connection of the test's own, for reading window properties.
class XConnection {
public:
    explicit XConnection(const QString& display)
        : m_connection(xcb_connect(display.toLatin1().constData(), nullptr))
    {
    }
    ~XConnection() { xcb_disconnect(m_connection); }
    bool isOpen() const { return !xcb_connection_has_error(m_connection); }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }

    xcb_atom_t atom(const char* name) const
    {
        const auto reply = owned(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, quint16(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    QString atomName(xcb_atom_t atom) const
    {
        const auto reply = owned(xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
        return reply ? QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()))
                     : QString();
    }
    // The 32-bit values of a property of `type`; nothing when it is absent or empty.
    std::optional<std::vector<quint32>> property(xcb_window_t window, const char* name, xcb_atom_t type) const
    {
        const auto reply = owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, atom(name), type, 0, 1024), nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) <= 0)
            return std::nullopt;
        const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
        return std::vector<quint32>(values, values + reply->value_len);
    }

    // Whether another client holds the keyboard, or the pointer: a grab of our own fails
    // then. A grab we get is released at once.
    bool keyboardHeldByAnother() const
    {
        return grabRefused(xcb_grab_keyboard_reply(m_connection,
                                                   xcb_grab_keyboard(m_connection, 0, root(), XCB_CURRENT_TIME,
                                                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                                   nullptr),
                           &xcb_ungrab_keyboard);
    }
    bool pointerHeldByAnother() const
    {
        return grabRefused(xcb_grab_pointer_reply(m_connection,
                                                  xcb_grab_pointer(m_connection, 0, root(), 0, XCB_GRAB_MODE_ASYNC,
                                                                   XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                                                   XCB_CURRENT_TIME),
                                                  nullptr),
                           &xcb_ungrab_pointer);
    }
    // The window's bounding shape in its own coordinates; nothing when it is not shaped.
    std::optional<std::vector<QRect>> boundingShape(xcb_window_t window) const
    {
        const auto extents =
            owned(xcb_shape_query_extents_reply(m_connection, xcb_shape_query_extents(m_connection, window), nullptr));
        if (!extents || !extents->bounding_shaped)
            return std::nullopt;
        const auto reply = owned(xcb_shape_get_rectangles_reply(
            m_connection, xcb_shape_get_rectangles(m_connection, window, XCB_SHAPE_SK_BOUNDING), nullptr));
        std::vector<QRect> rectangles;
        if (reply)
            for (auto it = xcb_shape_get_rectangles_rectangles_iterator(reply.get()); it.rem > 0; xcb_rectangle_next(&it))
                rectangles.emplace_back(it.data->x, it.data->y, it.data->width, it.data->height);
        return rectangles;
    }
    bool overridesRedirect(xcb_window_t window) const
    {
        const auto reply = owned(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        return reply && reply->override_redirect;
    }

private:
    template <class Reply>
    bool grabRefused(Reply* raw, xcb_void_cookie_t (*ungrab)(xcb_connection_t*, xcb_timestamp_t)) const
    {
        const auto reply = owned(raw);
        if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
            ungrab(m_connection, XCB_CURRENT_TIME);
            xcb_flush(m_connection);
            return false;
        }
        return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

    xcb_connection_t* m_connection;
};

} // namespace

Child::Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
             Errors errors)
{
    m_process.setProcessEnvironment(environment);
    // Should the test program die, its children go with it instead of holding on to the
    // test's X server and descriptors.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    if (errors == Errors::merged)
        m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    m_process.waitForStarted();
}

Child::~Child()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(1000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

std::optional<QString> Child::waitForLine(const QString& prefix, Timeout timeout)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            m_transcript << line;
            if (line.startsWith(prefix))
                return line;
        }
        if (deadline.hasExpired())
            return std::nullopt;
        if (!m_process.waitForReadyRead(int(deadline.remainingTime())) && !m_process.canReadLine())
            return std::nullopt; // timed out, or the process ended
    }
}

void Child::write(const QString& line)
{
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    m_process.waitForBytesWritten(1000);
}

bool Child::isRunning()
{
    // Without an event loop QProcess learns of the child's end only when asked to wait.
    return m_process.state() == QProcess::Running && !m_process.waitForFinished(0);
}

QString Child::status()
{
    if (isRunning())
        return QStringLiteral("running");
    if (m_process.error() == QProcess::FailedToStart)
        return m_process.errorString();
    if (m_process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("ended by a signal");
    return QStringLiteral("exited with %1").arg(m_process.exitCode());
}

QString Child::errors()
{
    if (m_process.processChannelMode() == QProcess::MergedChannels)
        return {}; // they are in the transcript
    return QString::fromUtf8(m_process.readAllStandardError());
}

QProcessEnvironment E2eDesktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display());
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real xcb platform
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_session.folder() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_session.folder());
    return environment;
}

std::unique_ptr<Child> E2eDesktop::startTestPanel(const std::optional<QString>& selection, const QString& binary)
{
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("OSTREVANE_TEST_PANEL"), QStringLiteral("1"));
    if (selection)
        environment.insert(QStringLiteral("OSTREVANE_TEST_SELECTION"), *selection);
    else
        environment.remove(QStringLiteral("OSTREVANE_TEST_SELECTION"));
    return std::make_unique<Child>(binary, QStringList{}, environment);
}

// A folder of its own for each program a test starts: settings never leak between tests.
QString E2eDesktop::freshFolder(const QString& name)
{
    const QString path = m_session.folder() + QStringLiteral("/%1-%2").arg(name).arg(++m_folders);
    QDir().mkpath(path);
    return path;
}

QProcessEnvironment E2eDesktop::switcherEnvironment(const SwitcherSetup& setup)
{
    if (!setup.restart || m_lastSwitcherFolders.isEmpty())
        m_lastSwitcherFolders = {freshFolder(QStringLiteral("config")), freshFolder(QStringLiteral("data")),
                                 freshFolder(QStringLiteral("runtime"))};
    const QString config = m_lastSwitcherFolders[0];
    const QString data = m_lastSwitcherFolders[1];
    const QString runtime = m_lastSwitcherFolders[2];
    // A runtime folder is private to its user, as the login session makes it; the browser
    // socket is refused in any other.
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString settings = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>Ostrevane.DidCompleteInteractiveOnboarding</key><%1/>%2</dict></plist>\n");
    bool written = setup.restart
        || writeFile(settingsFile(),
                     settings.arg(setup.guideDone ? QStringLiteral("true") : QStringLiteral("false"), setup.settings));
    for (const auto& [name, text] : setup.desktopEntries)
        written = written && writeFile(data + QStringLiteral("/applications/") + name, text);
    if (!written)
        return {};
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    // Its single-instance socket and the browsers' socket.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // Browsers' host manifests go here, not into the home of whoever runs the tests.
    environment.insert(QStringLiteral("HOME"), freshFolder(QStringLiteral("home")));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("ostrevane.panel.debug=true;ostrevane.tabs.debug=true;ostrevane.preferences.debug=true;"
                                      "ostrevane.atspi.debug=true"));
    environment.remove(QStringLiteral("OSTREVANE_TEST_PANEL"));
    for (const auto& [name, value] : setup.environment)
        environment.insert(name, value);
    return environment;
}

std::unique_ptr<Child> E2eDesktop::startSwitcher(const SwitcherSetup& setup)
{
    const QProcessEnvironment environment = switcherEnvironment(setup);
    return environment.isEmpty() ? nullptr : startSwitcherIn(environment);
}

std::unique_ptr<Child> E2eDesktop::startSwitcherIn(const QProcessEnvironment& environment)
{
    m_switcherEnvironment = environment;
    const QString socket =
        environment.value(QStringLiteral("XDG_RUNTIME_DIR")) + QStringLiteral("/ostrevane/instance.socket");
    const QString leftBehind = identityOf(socket);
    auto switcher = std::make_unique<Child>(QStringLiteral(OSTREVANE_BINARY), QStringList{}, environment,
                                            Child::Errors::merged);
    const auto isListening = [&] {
        const QString identity = identityOf(socket);
        return !identity.isEmpty() && identity != leftBehind;
    };
    if (!waitUntil([&] { return isListening() || !switcher->isRunning(); }, switcherStartTimeout)
        || !switcher->isRunning()) {
        switcher->waitForLine(QStringLiteral("<all it wrote>"), 500ms);
        std::cerr << "the switcher did not start (" << switcher->status().toStdString() << "):\n"
                  << switcher->transcript().toStdString() << '\n';
        return nullptr;
    }
    return switcher;
}

QString E2eDesktop::settingsFile() const
{
    return m_lastSwitcherFolders.value(0) + QStringLiteral("/ostrevane/com.local.ostrevane.plist");
}

E2eDesktop::Finished E2eDesktop::runSwitcher(const QProcessEnvironment& environment, const QStringList& arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OSTREVANE_BINARY), arguments);
    Finished finished;
    finished.ended = process.waitForFinished(int(std::chrono::milliseconds(switcherStartTimeout).count()));
    if (!finished.ended) {
        process.kill();
        process.waitForFinished(1000);
    }
    finished.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    finished.out = QString::fromUtf8(process.readAllStandardOutput());
    finished.err = QString::fromUtf8(process.readAllStandardError());
    return finished;
}

std::unique_ptr<Child> E2eDesktop::startClient(const QString& program, const QStringList& arguments,
                                               const QString& title)
{
    auto client = std::make_unique<Child>(program, arguments, environment());
    if (!waitUntil([&] { return windowTitled(title).has_value(); }, clientTimeout))
        return nullptr;
    return client;
}

std::unique_ptr<Child> E2eDesktop::startXterm(const QString& title, const QStringList& options)
{
    return startClient(QStringLiteral("xterm"),
                       QStringList{QStringLiteral("-title"), title} + options
                           + QStringList{QStringLiteral("-e"), QStringLiteral("sleep"), QStringLiteral("600")},
                       title);
}

std::optional<QString> E2eDesktop::windowTitled(const QString& title) const
{
    const QStringList windows = windowsTitled(title);
    return windows.isEmpty() ? std::nullopt : std::optional(windows.front());
}

QStringList E2eDesktop::windowsTitled(const QString& title) const
{
    return windowsNamed(QStringLiteral("^%1$").arg(QRegularExpression::escape(title)));
}

QStringList E2eDesktop::windowsNamed(const QString& pattern) const
{
    return output({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString E2eDesktop::activeWindow() const { return output({QStringLiteral("getactivewindow")}); }

bool E2eDesktop::activateWindow(const QString& window) const
{
    return xdotool({QStringLiteral("windowactivate"), window})
        && waitUntil([&] { return activeWindow() == window; }, clientTimeout);
}

int E2eDesktop::currentDesktop() const
{
    bool ok = false;
    const int desktop = output({QStringLiteral("get_desktop")}).toInt(&ok);
    return ok ? desktop : -1;
}

bool E2eDesktop::activate(const QString& title) const
{
    const std::optional<QString> window = windowTitled(title);
    return window && activateWindow(*window);
}

QString E2eDesktop::activeWindowTitle() const
{
    return output({QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")});
}

bool E2eDesktop::waitForActiveTitle(const QString& title, Timeout timeout) const
{
    return waitUntil([&] { return activeWindowTitle() == title; }, timeout);
}

// Mapped and at least partly on the screen: between showings the panel waits mapped far
// off screen.
QStringList E2eDesktop::visibleWindowsOf(qint64 pid) const
{
    const QRect screen(QPoint(0, 0), screenSize());
    QStringList visible;
    for (const QString& window :
         output({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)})
             .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (const std::optional<QRect> frame = windowGeometry(window); frame && frame->intersects(screen))
            visible << window;
    return visible;
}

std::optional<QString> E2eDesktop::visibleWindowOf(qint64 pid) const
{
    const QStringList windows = visibleWindowsOf(pid);
    return windows.isEmpty() ? std::nullopt : std::optional(windows.front());
}

QSize E2eDesktop::screenSize() const
{
    const QString geometry = output({QStringLiteral("getdisplaygeometry")}); // "width height"
    return QSize(geometry.section(QLatin1Char(' '), 0, 0).toInt(), geometry.section(QLatin1Char(' '), 1, 1).toInt());
}

std::optional<QRect> E2eDesktop::windowGeometry(const QString& window) const
{
    QString shell;
    if (!xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window}, &shell))
        return std::nullopt;
    QRect frame;
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (line.startsWith(QLatin1String("X=")))
            frame.moveLeft(value);
        else if (line.startsWith(QLatin1String("Y=")))
            frame.moveTop(value);
        else if (line.startsWith(QLatin1String("WIDTH=")))
            frame.setWidth(value);
        else if (line.startsWith(QLatin1String("HEIGHT=")))
            frame.setHeight(value);
    }
    return frame.isValid() ? std::optional<QRect>(frame) : std::nullopt;
}

QStringList E2eDesktop::atomNames(const QString& window, const char* property) const
{
    XConnection x(display());
    QStringList names;
    if (x.isOpen())
        for (const quint32 atom : x.property(window.toUInt(), property, XCB_ATOM_ATOM).value_or(std::vector<quint32>{}))
            names << x.atomName(atom);
    return names;
}

std::optional<quint32> E2eDesktop::cardinal(const QString& window, const char* property) const
{
    XConnection x(display());
    if (!x.isOpen())
        return std::nullopt;
    const auto values = x.property(window.toUInt(), property, XCB_ATOM_CARDINAL);
    return values ? std::optional<quint32>(values->front()) : std::nullopt;
}

bool E2eDesktop::xdotool(const QStringList& arguments, QString* output) const
{
    return runTool(QStringLiteral("xdotool"), arguments, 5000, output);
}

QString E2eDesktop::output(const QStringList& arguments) const
{
    QString text;
    return xdotool(arguments, &text) ? text : QString();
}

bool E2eDesktop::runTool(const QString& program, const QStringList& arguments, int timeoutMs, QString* output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool E2eDesktop::waitForKeyboardHeldBy(qint64 pid, Timeout timeout) const
{
    return waitUntil([&] { return visibleWindowOf(pid) && XConnection(display()).keyboardHeldByAnother(); }, timeout);
}

bool E2eDesktop::keyboardIsFree() const
{
    const XConnection x(display());
    return x.isOpen() && !x.keyboardHeldByAnother();
}

bool E2eDesktop::pointerIsFree() const
{
    const XConnection x(display());
    return x.isOpen() && !x.pointerHeldByAnother();
}

QStringList E2eDesktop::managedWindows() const
{
    XConnection x(display());
    QStringList windows;
    if (x.isOpen())
        for (const quint32 window : x.property(x.root(), "_NET_CLIENT_LIST", XCB_ATOM_WINDOW).value_or(std::vector<quint32>{}))
            windows << QString::number(window);
    return windows;
}

bool E2eDesktop::isOverrideRedirect(const QString& window) const
{
    return XConnection(display()).overridesRedirect(window.toUInt());
}

std::optional<std::vector<QRect>> E2eDesktop::boundingShape(const QString& window) const
{
    return XConnection(display()).boundingShape(window.toUInt());
}

// The slide eases out: the panel reaches its last pixel well before the slide ends, but
// only its last frame makes it fully opaque, and only then does it hear clicks.
bool E2eDesktop::waitForPanelAtRest(qint64 pid, Timeout timeout, Qt::Edge edge) const
{
    constexpr quint32 opaque = 0xffffffff;
    const int screenWidth = screenSize().width();
    return waitUntil(
        [&] {
            const std::optional<QString> window = visibleWindowOf(pid);
            const std::optional<QRect> frame = window ? windowGeometry(*window) : std::nullopt;
            const bool atEdge = frame
                && (edge == Qt::LeftEdge ? frame->x() == 0 : frame->x() + frame->width() == screenWidth);
            return atEdge && cardinal(*window, "_NET_WM_WINDOW_OPACITY").value_or(opaque) == opaque;
        },
        timeout);
}

bool E2eDesktop::waitForNoVisibleWindow(qint64 pid, Timeout timeout) const
{
    return waitUntil([&] { return !visibleWindowOf(pid); }, timeout);
}

bool E2eDesktop::screenshot(const QString& path) const
{
    return runTool(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, 10000);
}

// Polls `condition` until it holds or time runs out: the tests wait for observable
// state, never for a fixed time.
bool E2eDesktop::waitUntil(const std::function<bool()>& condition, Timeout timeout) const
{
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(pollIntervalMs);
    }
    return true;
}

E2eDesktop* E2eSuite::desktop = nullptr;

void E2eSuite::TearDownTestSuite()
{
    delete desktop;
    desktop = nullptr;
}

void E2eSuite::SetUp() { ASSERT_TRUE(desktop->isUp()) << desktop->failure().toStdString(); }

void E2eSuite::TearDown()
{
    if (HasFailure()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const QString path = artifactsDirectory()
            + QStringLiteral("/%1.%2.png")
                  .arg(QString::fromLatin1(info->test_suite_name()), QString::fromLatin1(info->name()).replace('/', '_'));
        if (desktop->screenshot(path))
            std::cerr << "screenshot: " << path.toStdString() << '\n';
        if (app) {
            app->waitForLine(QStringLiteral("<all it wrote>"), 500ms); // the lines no step read yet
            std::cerr << "output:\n" << app->transcript().toStdString() << "\nerrors:\n" << app->errors().toStdString()
                      << '\n';
        }
    }
    app.reset();
    clients.clear();
}

void E2eSuite::keys(const QStringList& names)
{
    ASSERT_TRUE(desktop->xdotool(QStringList{QStringLiteral("key")} + names));
}

void E2eSuite::type(const QString& text) { ASSERT_TRUE(desktop->xdotool({QStringLiteral("type"), text})); }

// One xdotool run, so a tap is as quick as a person's.
void E2eSuite::withAlt(const QStringList& names)
{
    ASSERT_TRUE(desktop->xdotool(QStringList{QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("key")}
                                 + names + QStringList{QStringLiteral("keyup"), QStringLiteral("alt")}));
}

void E2eSuite::holdAlt(const QStringList& names)
{
    ASSERT_TRUE(desktop->xdotool(QStringList{QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("key")} + names));
}

void E2eSuite::releaseAlt() { ASSERT_TRUE(desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("alt")})); }

QString artifactsDirectory()
{
    const QString path = QStringLiteral(OSTREVANE_E2E_ARTIFACTS);
    QDir().mkpath(path);
    return path;
}

} // namespace ostrevane::e2e
