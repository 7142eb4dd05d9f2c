#include "platform/x11/DesktopEntryLauncher.h"

#include "core/platform/Dispatcher.h"
#include "platform/x11/X11Connection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <cstring>

#include <unistd.h>

namespace ostrevane {

namespace {

const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
const QByteArray startupInfoBegin = QByteArrayLiteral("_NET_STARTUP_INFO_BEGIN");
const QByteArray startupInfo = QByteArrayLiteral("_NET_STARTUP_INFO");
// The bytes of text one startup notification client message carries.
constexpr size_t startupChunk = 20;

// Terminals that take the program to run after something other than -e (which most
// of them, x-terminal-emulator included, accept followed by the program and arguments).
const std::vector<std::pair<QString, QStringList>> terminalConventions = {
    {QStringLiteral("gnome-terminal"), {QStringLiteral("--")}},
    {QStringLiteral("ptyxis"), {QStringLiteral("--")}},
    {QStringLiteral("xfce4-terminal"), {QStringLiteral("-x")}},
    {QStringLiteral("mate-terminal"), {QStringLiteral("-x")}},
    {QStringLiteral("terminator"), {QStringLiteral("-x")}},
    {QStringLiteral("wezterm"), {QStringLiteral("start"), QStringLiteral("--")}},
    {QStringLiteral("kitty"), {}},
    {QStringLiteral("foot"), {}},
    {QStringLiteral("xdg-terminal-exec"), {}},
    {QStringLiteral("exo-open"), {}}, // as "exo-open --launch TerminalEmulator"
};

// Tried in this order when the user named no terminal of their own.
const QStringList knownTerminals = {
    QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),   QStringLiteral("xfce4-terminal"),
    QStringLiteral("mate-terminal"),  QStringLiteral("lxterminal"), QStringLiteral("qterminal"),
    QStringLiteral("terminator"),     QStringLiteral("tilix"),      QStringLiteral("alacritty"),
    QStringLiteral("kitty"),          QStringLiteral("foot"),       QStringLiteral("urxvt"),
    QStringLiteral("xterm"),
};

// One value of a group in an INI-style file (KDE's kdeglobals), or empty.
QString iniValue(const QString& path, const QString& group, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == header;
        else if (inGroup && line.section(QLatin1Char('='), 0, 0).trimmed() == key)
            return line.section(QLatin1Char('='), 1).trimmed();
    }
    return {};
}

// A command line the user wrote, when its program is installed.
std::optional<QStringList> installedCommand(const QString& line, const TerminalSources& sources)
{
    const std::optional<QStringList> command = DesktopEntryReader::command(line);
    if (!command || sources.findExecutable(command->front()).isEmpty())
        return std::nullopt;
    return command;
}

std::optional<QStringList> desktopTerminal(const TerminalSources& sources)
{
    if (sources.currentDesktops.contains(QStringLiteral("KDE"))) {
        const QString configured = iniValue(sources.configHome + QStringLiteral("/kdeglobals"), QStringLiteral("General"),
                                            QStringLiteral("TerminalApplication"));
        if (std::optional<QStringList> command = installedCommand(configured, sources))
            return command;
    }
    // Xfce keeps its choice behind exo-open.
    if (sources.currentDesktops.contains(QStringLiteral("XFCE")) && !sources.findExecutable(QStringLiteral("exo-open")).isEmpty())
        return QStringList{QStringLiteral("exo-open"), QStringLiteral("--launch"), QStringLiteral("TerminalEmulator")};
    return std::nullopt;
}

// "Some \"text\"": the startup notification quoting of a value.
QString quotedValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Bus names and object paths admit only these characters.
QString busObjectPath(const QString& desktopID)
{
    QString path = QLatin1Char('/') + desktopID;
    path.replace(QLatin1Char('.'), QLatin1Char('/')).replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

xcb_atom_t intern(xcb_connection_t* connection, const QByteArray& name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

} // namespace

TerminalSources TerminalSources::fromEnvironment()
{
    TerminalSources sources;
    sources.terminalVariable = qEnvironmentVariable("TERMINAL");
    sources.currentDesktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    sources.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    sources.findExecutable = [](const QString& program) {
        if (QDir::isAbsolutePath(program))
            return QFileInfo(program).isExecutable() ? program : QString();
        return QStandardPaths::findExecutable(program);
    };
    return sources;
}

DesktopEntryLauncher::DesktopEntryLauncher(std::shared_ptr<X11Connection> connection, Dispatcher& dispatcher,
                                           TerminalSources terminals)
    : m_connection(std::move(connection))
    , m_dispatcher(dispatcher)
    , m_terminals(std::move(terminals))
    , m_alive(std::make_shared<bool>(true))
{
}

DesktopEntryLauncher::~DesktopEntryLauncher() = default;

void DesktopEntryLauncher::launch(const DesktopEntry& entry, Completion completion)
{
    const xcb_timestamp_t time = m_connection->serverTime();
    const QString startupID = makeStartupID(entry, time);
    announce(entry, startupID, time);
    Launch launch{m_connection, &m_dispatcher, m_terminals, entry, startupID, std::weak_ptr(m_alive),
                  std::move(completion)};
    if (!entry.dbusActivatable) {
        const Started started = launch.runExec();
        launch.ended(started);
        if (launch.completion)
            launch.completion(startupID, started.pid, started.error);
        return;
    }
    // A bus activation may wait for the bus to start the service: off the main thread.
    m_dispatcher.global(QueuePriority::userInitiated, [launch = std::move(launch)]() mutable {
        Started started;
        if (const std::optional<QString> busError = launch.activateOverBus()) {
            started = launch.runExec();
            if (started.error)
                started.error = *busError + QStringLiteral("; ") + *started.error;
        }
        launch.ended(started);
        launch.dispatcher->async([alive = launch.alive, completion = std::move(launch.completion),
                                  startupID = launch.startupID, started] {
            if (alive.lock() && completion)
                completion(startupID, started.pid, started.error);
        });
    });
}

// A launch that failed shows nothing, so the window manager is told at once.
void DesktopEntryLauncher::Launch::ended(const Started& started) const
{
    if (started.error)
        sendStartupMessage(*connection, startupMessage(QStringLiteral("remove"), {{QStringLiteral("ID"), startupID}}));
}

// Unique, without spaces, ending in the request's time as window managers read it.
QString DesktopEntryLauncher::makeStartupID(const DesktopEntry& entry, xcb_timestamp_t time)
{
    QString name = entry.id;
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return QStringLiteral("ostrevane/%1/%2-%3-%4_TIME%5")
        .arg(name)
        .arg(::getpid())
        .arg(++m_sequence)
        .arg(QSysInfo::machineHostName())
        .arg(time);
}

void DesktopEntryLauncher::announce(const DesktopEntry& entry, const QString& startupID, xcb_timestamp_t time)
{
    std::vector<std::pair<QString, QString>> values = {
        {QStringLiteral("ID"), startupID},
        {QStringLiteral("NAME"), entry.localizedName},
        {QStringLiteral("SCREEN"), QString::number(m_connection->screenNumber())},
        {QStringLiteral("APPLICATION_ID"), entry.path},
        {QStringLiteral("TIMESTAMP"), QString::number(time)},
    };
    if (const std::optional<QStringList> command = DesktopEntryReader::command(entry))
        values.emplace_back(QStringLiteral("BIN"), QFileInfo(command->front()).fileName());
    if (!entry.icon.isEmpty())
        values.emplace_back(QStringLiteral("ICON"), entry.icon);
    if (!entry.startupWMClass.isEmpty())
        values.emplace_back(QStringLiteral("WMCLASS"), entry.startupWMClass);
    sendStartupMessage(*m_connection, startupMessage(QStringLiteral("new"), values));
}

void DesktopEntryLauncher::finish(const QString& startupID)
{
    if (!startupID.isEmpty())
        sendStartupMessage(*m_connection, startupMessage(QStringLiteral("remove"), {{QStringLiteral("ID"), startupID}}));
}

QByteArray DesktopEntryLauncher::startupMessage(const QString& kind, const std::vector<std::pair<QString, QString>>& values)
{
    QString text = kind + QLatin1Char(':');
    for (const auto& [key, value] : values)
        text += QLatin1Char(' ') + key + QLatin1Char('=') + quotedValue(value);
    return text.toUtf8();
}

// The text goes to the root window in 20-byte pieces, the first marked as the beginning,
// the last ending in a NUL byte.
void DesktopEntryLauncher::sendStartupMessage(X11Connection& connection, const QByteArray& message)
{
    xcb_connection_t* c = connection.xcb();
    const xcb_atom_t begin = intern(c, startupInfoBegin);
    const xcb_atom_t more = intern(c, startupInfo);
    QByteArray bytes = message;
    bytes.append('\0');
    for (size_t offset = 0; offset < size_t(bytes.size()); offset += startupChunk) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = connection.ownWindow();
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, bytes.constData() + offset, std::min(startupChunk, size_t(bytes.size()) - offset));
        xcb_send_event(c, 0, connection.root(), XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
    connection.flush();
}

QProcessEnvironment DesktopEntryLauncher::Launch::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Programs we start appear on the display we manage, whatever $DISPLAY says.
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(connection->displayName()));
    environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), startupID);
    return environment;
}

DesktopEntryLauncher::Started DesktopEntryLauncher::Launch::runExec() const
{
    if (!DesktopEntryReader::isInstalled(entry.tryExec))
        return {std::nullopt, QStringLiteral("%1 is not installed").arg(entry.tryExec)};
    std::optional<QStringList> command = DesktopEntryReader::command(entry);
    if (!command)
        return {std::nullopt, QStringLiteral("its command line (Exec) is missing or invalid")};
    if (entry.terminal) {
        const std::optional<QStringList> terminal = terminalCommand(terminals);
        if (!terminal)
            return {std::nullopt, QStringLiteral("it runs in a terminal and no terminal emulator is installed")};
        command = inTerminal(*terminal, *command);
    }
    if (!entry.workingDirectory.isEmpty() && !QFileInfo(entry.workingDirectory).isDir())
        return {std::nullopt, QStringLiteral("its working folder %1 does not exist").arg(entry.workingDirectory)};
    QProcess process;
    process.setProgram(command->front());
    process.setArguments(command->mid(1));
    process.setWorkingDirectory(entry.workingDirectory);
    process.setProcessEnvironment(environment());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return {std::nullopt, QStringLiteral("cannot start %1: %2").arg(command->front(), process.errorString())};
    return {static_cast<ProcessID>(pid), std::nullopt};
}

// Nothing when the application took the request; otherwise why not.
std::optional<QString> DesktopEntryLauncher::Launch::activateOverBus() const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("no session bus");
    QDBusMessage activate = QDBusMessage::createMethodCall(entry.id, busObjectPath(entry.id), applicationInterface,
                                                           QStringLiteral("Activate"));
    const QVariantMap platformData = {{QStringLiteral("desktop-startup-id"), startupID},
                                      {QStringLiteral("activation-token"), startupID}};
    activate << platformData;
    const QDBusMessage reply = bus.call(activate, QDBus::Block, busTimeoutMilliseconds);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("D-Bus activation failed: ") + reply.errorMessage();
    return std::nullopt;
}

QStringList DesktopEntryLauncher::inTerminal(const QStringList& terminal, const QStringList& command)
{
    const QString name = QFileInfo(terminal.value(0)).fileName();
    const auto convention = std::find_if(terminalConventions.begin(), terminalConventions.end(),
                                         [&](const auto& known) { return known.first == name; });
    return terminal + (convention != terminalConventions.end() ? convention->second : QStringList{QStringLiteral("-e")})
        + command;
}

std::optional<QStringList> DesktopEntryLauncher::terminalCommand(const TerminalSources& sources)
{
    if (std::optional<QStringList> chosen = installedCommand(sources.terminalVariable, sources))
        return chosen;
    if (std::optional<QStringList> configured = desktopTerminal(sources))
        return configured;
    QStringList candidates = {QStringLiteral("xdg-terminal-exec"), QStringLiteral("x-terminal-emulator")};
    for (const QString& program : candidates + knownTerminals)
        if (!sources.findExecutable(program).isEmpty())
            return QStringList{program};
    return std::nullopt;
}

} // namespace ostrevane
