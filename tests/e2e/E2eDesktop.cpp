#include "E2eDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace ostrevane::e2e {

namespace {

constexpr Timeout serverStartTimeout = 5s;
constexpr Timeout windowManagerTimeout = 10s;
constexpr int firstDisplay = 100;
constexpr int displayRange = 800;
constexpr int displayAttempts = 20;
constexpr int sessionAttempts = 3;
constexpr unsigned long pollIntervalMs = 20;
constexpr int screenWidth = 1440;
const QString screenSize = QStringLiteral("1440x900x24");

// The stock openbox configuration without its three Alt+Tab bindings.
QString configurationWithoutAltTab()
{
    QFile stock(QStringLiteral("/etc/xdg/openbox/rc.xml"));
    if (!stock.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(stock.readAll());
    static const QRegularExpression altTab(
        QStringLiteral(R"re(<keybind key="(A-Tab|A-S-Tab|C-A-Tab)">.*?</keybind>\s*)re"),
        QRegularExpression::DotMatchesEverythingOption);
    return text.remove(altTab);
}

} // namespace

Child::Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
             bool forwardErrors)
{
    m_process.setProcessEnvironment(environment);
    if (forwardErrors)
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
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

QString Child::errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

E2eDesktop::E2eDesktop()
{
    for (int attempt = 0; attempt < sessionAttempts && !m_up; ++attempt) {
        m_windowManager.reset();
        m_server.reset();
        m_up = m_dir.isValid() && startServer() && startWindowManager();
    }
}

E2eDesktop::~E2eDesktop()
{
    m_windowManager.reset();
    m_server.reset();
}

QProcessEnvironment E2eDesktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real xcb platform
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    return environment;
}

// A display number far above the ones desktops and other test suites usually take; a
// number another server holds makes ours exit at once, and the next number is tried.
// -noreset: by default the server resets whenever its last client leaves, and drops the
// connections that arrive meanwhile; the probes below connect and leave again and again.
bool E2eDesktop::startServer()
{
    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    for (int attempt = 0; attempt < displayAttempts; ++attempt) {
        m_display = QStringLiteral(":%1").arg(firstDisplay + random.bounded(displayRange));
        m_server = std::make_unique<Child>(QStringLiteral("Xvfb"),
                                           QStringList{m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                                                       screenSize, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                       QStringLiteral("-noreset")},
                                           QProcessEnvironment::systemEnvironment(), true);
        const bool answers = waitUntil(
            [this] { return !m_server->isRunning() || xdotool({QStringLiteral("getdisplaygeometry")}); },
            serverStartTimeout);
        if (answers && m_server->isRunning())
            return true;
    }
    m_failure = QStringLiteral("no Xvfb could start");
    return false;
}

bool E2eDesktop::startWindowManager()
{
    const QString configPath = m_dir.filePath(QStringLiteral("openbox-rc.xml"));
    QFile config(configPath);
    const QString text = configurationWithoutAltTab();
    if (text.isEmpty() || !config.open(QIODevice::WriteOnly) || config.write(text.toUtf8()) < 0) {
        m_failure = QStringLiteral("cannot write the openbox configuration");
        return false;
    }
    config.close();
    m_windowManager = std::make_unique<Child>(
        QStringLiteral("openbox"), QStringList{QStringLiteral("--config-file"), configPath}, environment(), true);
    if (waitUntil([this] { return hasWindowManager(); }, windowManagerTimeout))
        return true;
    m_failure = QStringLiteral("openbox did not start on %1: %2").arg(m_display, m_windowManager->status());
    return false;
}

// An EWMH window manager announces itself with _NET_SUPPORTING_WM_CHECK on the root.
bool E2eDesktop::hasWindowManager() const
{
    xcb_connection_t* connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr), &std::free);
    bool present = false;
    if (atom) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
            xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr),
            &std::free);
        present = property && xcb_get_property_value_length(property.get()) > 0;
    }
    xcb_disconnect(connection);
    return present;
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

bool E2eDesktop::xdotool(const QStringList& arguments, QString* output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(5000))
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool E2eDesktop::waitForFocusedWindow(qint64 pid, Timeout timeout) const
{
    return waitUntil(
        [&] {
            QString windows, active;
            return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                            QString::number(pid)},
                           &windows)
                && xdotool({QStringLiteral("getactivewindow")}, &active)
                && windows.split(QLatin1Char('\n')).contains(active);
        },
        timeout);
}

bool E2eDesktop::waitForFocusedWindowAtRightEdge(Timeout timeout) const
{
    return waitUntil(
        [&] {
            QString shell;
            if (!xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowgeometry"), QStringLiteral("--shell")},
                         &shell))
                return false;
            int x = 0, width = 0;
            for (const QString& line : shell.split(QLatin1Char('\n'))) {
                if (line.startsWith(QLatin1String("X=")))
                    x = line.mid(2).toInt();
                else if (line.startsWith(QLatin1String("WIDTH=")))
                    width = line.mid(6).toInt();
            }
            return width > 0 && x + width == screenWidth;
        },
        timeout);
}

bool E2eDesktop::waitForNoVisibleWindow(qint64 pid, Timeout timeout) const
{
    return waitUntil(
        [&] {
            return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(pid)});
        },
        timeout);
}

bool E2eDesktop::screenshot(const QString& path) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
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

QString artifactsDirectory()
{
    const QString path = QStringLiteral(OSTREVANE_E2E_ARTIFACTS);
    QDir().mkpath(path);
    return path;
}

} // namespace ostrevane::e2e
