#include "E2eDesktop.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace ostrevane::e2e {

namespace {

constexpr Timeout clientTimeout = 20s;
constexpr Timeout switcherStartTimeout = 20s;
constexpr unsigned long pollIntervalMs = 20;

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

    // Whether another client holds the keyboard: a grab of our own fails then. A grab we
    // get is released at once.
    bool keyboardHeldByAnother() const
    {
        const auto reply = owned(xcb_grab_keyboard_reply(
            m_connection,
            xcb_grab_keyboard(m_connection, 0, root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr));
        if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
            xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
            xcb_flush(m_connection);
            return false;
        }
        return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }
    bool overridesRedirect(xcb_window_t window) const
    {
        const auto reply = owned(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        return reply && reply->override_redirect;
    }

private:
    xcb_connection_t* m_connection;
};

} // namespace

Child::Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
             Errors errors)
{
    m_process.setProcessEnvironment(environment);
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

std::unique_ptr<Child> E2eDesktop::startTestPanel(const std::optional<QString>& selection)
{
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("OSTREVANE_TEST_PANEL"), QStringLiteral("1"));
    if (selection)
        environment.insert(QStringLiteral("OSTREVANE_TEST_SELECTION"), *selection);
    else
        environment.remove(QStringLiteral("OSTREVANE_TEST_SELECTION"));
    return std::make_unique<Child>(QStringLiteral(OSTREVANE_BINARY), QStringList{}, environment);
}

// A folder of its own for each program a test starts: settings never leak between tests.
QString E2eDesktop::freshFolder(const QString& name)
{
    const QString path = m_session.folder() + QStringLiteral("/%1-%2").arg(name).arg(++m_folders);
    QDir().mkpath(path);
    return path;
}

std::unique_ptr<Child> E2eDesktop::startSwitcher(const SwitcherSetup& setup)
{
    const QString config = freshFolder(QStringLiteral("config"));
    const QString data = freshFolder(QStringLiteral("data"));
    const QString runtime = freshFolder(QStringLiteral("runtime"));
    const QString settings = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>Ostrevane.DidCompleteInteractiveOnboarding</key><true/>%1</dict></plist>\n");
    bool written = writeFile(config + QStringLiteral("/ostrevane/com.local.ostrevane.plist"), settings.arg(setup.settings));
    for (const auto& [name, text] : setup.desktopEntries)
        written = written && writeFile(data + QStringLiteral("/applications/") + name, text);
    if (!written)
        return nullptr;
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("TMPDIR"), runtime); // its single-instance socket
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("ostrevane.panel.debug=true"));
    environment.remove(QStringLiteral("OSTREVANE_TEST_PANEL"));
    for (const auto& [name, value] : setup.environment)
        environment.insert(name, value);
    auto switcher = std::make_unique<Child>(QStringLiteral(OSTREVANE_BINARY), QStringList{}, environment,
                                            Child::Errors::merged);
    const QString socket = runtime + QStringLiteral("/ostrevane-%1").arg(::getuid());
    if (!waitUntil([&] { return QFileInfo(socket).exists() || !switcher->isRunning(); }, switcherStartTimeout)
        || !switcher->isRunning())
        return nullptr;
    return switcher;
}

std::unique_ptr<Child> E2eDesktop::startClient(const QString& program, const QStringList& arguments,
                                               const QString& title)
{
    auto client = std::make_unique<Child>(program, arguments, environment());
    if (!waitUntil([&] { return windowTitled(title).has_value(); }, clientTimeout))
        return nullptr;
    return client;
}

std::unique_ptr<Child> E2eDesktop::startXterm(const QString& title)
{
    return startClient(QStringLiteral("xterm"),
                       {QStringLiteral("-title"), title, QStringLiteral("-e"), QStringLiteral("sleep"),
                        QStringLiteral("600")},
                       title);
}

std::optional<QString> E2eDesktop::windowTitled(const QString& title) const
{
    QString windows;
    if (!xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QStringLiteral("^%1$").arg(QRegularExpression::escape(title))},
                 &windows)
        || windows.isEmpty())
        return std::nullopt;
    return windows.section(QLatin1Char('\n'), 0, 0);
}

bool E2eDesktop::activate(const QString& title) const
{
    const std::optional<QString> window = windowTitled(title);
    return window && xdotool({QStringLiteral("windowactivate"), *window})
        && waitForActiveTitle(title, clientTimeout);
}

QString E2eDesktop::activeWindowTitle() const
{
    QString title;
    xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}, &title);
    return title;
}

bool E2eDesktop::waitForActiveTitle(const QString& title, Timeout timeout) const
{
    return waitUntil([&] { return activeWindowTitle() == title; }, timeout);
}

// Mapped and at least partly on the screen: between showings the panel waits mapped far
// off screen.
std::optional<QString> E2eDesktop::visibleWindowOf(qint64 pid) const
{
    QString windows;
    if (!xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                  QString::number(pid)},
                 &windows)
        || windows.isEmpty())
        return std::nullopt;
    const QRect screen(QPoint(0, 0), screenSize());
    for (const QString& window : windows.split(QLatin1Char('\n')))
        if (const std::optional<QRect> frame = windowGeometry(window); frame && frame->intersects(screen))
            return window;
    return std::nullopt;
}

QSize E2eDesktop::screenSize() const
{
    QString geometry; // "width height"
    xdotool({QStringLiteral("getdisplaygeometry")}, &geometry);
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
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(5000))
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool E2eDesktop::waitForKeyboardHeldBy(qint64 pid, Timeout timeout) const
{
    return waitUntil([&] { return visibleWindowOf(pid) && XConnection(display()).keyboardHeldByAnother(); }, timeout);
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

bool E2eDesktop::waitForWindowAtRightEdge(qint64 pid, Timeout timeout) const
{
    const int screenWidth = screenSize().width();
    return waitUntil(
        [&] {
            const std::optional<QString> window = visibleWindowOf(pid);
            const std::optional<QRect> frame = window ? windowGeometry(*window) : std::nullopt;
            return frame && frame->x() + frame->width() == screenWidth;
        },
        timeout);
}

bool E2eDesktop::waitForNoVisibleWindow(qint64 pid, Timeout timeout) const
{
    return waitUntil([&] { return !visibleWindowOf(pid); }, timeout);
}

bool E2eDesktop::screenshot(const QString& path) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("/usr/bin/import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return process.waitForFinished(10000) && process.exitCode() == 0;
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
        if (app)
            std::cerr << "output:\n" << app->transcript().toStdString() << "\nerrors:\n" << app->errors().toStdString()
                      << '\n';
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
