#include "platform/x11/DBusAtspiTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace ostrevane {

namespace {

Q_LOGGING_CATEGORY(atspiLog, "ostrevane.atspi", QtInfoMsg)

const QString connectionName = QStringLiteral("ostrevane-atspi");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const AtspiNode desktop{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};

// An object reference as AT-SPI marshals it: (so).
AtspiNode readNode(const QDBusArgument& argument)
{
    AtspiNode node;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> node.bus >> path;
    argument.endStructure();
    node.path = path.path();
    return node;
}

std::vector<AtspiNode> readNodes(const QVariant& value)
{
    std::vector<AtspiNode> nodes;
    if (!value.canConvert<QDBusArgument>())
        return nodes;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(so)"))
        return nodes;
    argument.beginArray();
    while (!argument.atEnd())
        nodes.push_back(readNode(argument));
    argument.endArray();
    return nodes;
}

std::optional<QVariant> firstArgument(const std::optional<QDBusMessage>& reply)
{
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    return reply->arguments().constFirst();
}

// The accessibility bus's address as the session's bus launcher gives it; empty when
// there is no session bus or no launcher.
QString busAddress()
{
    const QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, DBusAtspiTree::callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    return reply.arguments().constFirst().toString();
}

} // namespace

DBusAtspiTree::DBusAtspiTree() = default;

DBusAtspiTree::~DBusAtspiTree()
{
    if (m_connected)
        QDBusConnection::disconnectFromBus(connectionName);
}

std::optional<QDBusConnection> DBusAtspiTree::connection()
{
    std::lock_guard lock(m_lock);
    const auto now = std::chrono::steady_clock::now();
    if (!m_connected && now >= m_nextConnect) {
        m_nextConnect = now + std::chrono::seconds(quietSeconds);
        const QString address = busAddress();
        if (!address.isEmpty())
            m_connected = QDBusConnection::connectToBus(address, connectionName).isConnected();
        if (!m_connected)
            QDBusConnection::disconnectFromBus(connectionName);
    }
    if (!m_connected)
        return std::nullopt;
    return QDBusConnection(connectionName);
}

bool DBusAtspiTree::available() { return connection().has_value(); }

std::optional<QDBusMessage> DBusAtspiTree::call(const AtspiNode& node, const QString& interface, const QString& method,
                                                const QVariantList& arguments)
{
    const std::optional<QDBusConnection> bus = connection();
    if (!bus || node.bus.isEmpty() || node.path.isEmpty() || isQuiet(node.bus))
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(node.bus, node.path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus->call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    qCDebug(atspiLog, "%s %s on %s: %s", qPrintable(method), qPrintable(node.path), qPrintable(node.bus),
            qPrintable(reply.errorName()));
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        quieten(node.bus);
    return std::nullopt;
}

std::optional<QVariant> DBusAtspiTree::property(const AtspiNode& node, const QString& name)
{
    const std::optional<QVariant> value = firstArgument(
        call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {accessibleInterface, name}));
    if (!value)
        return std::nullopt;
    return value->value<QDBusVariant>().variant();
}

bool DBusAtspiTree::isQuiet(const QString& owner)
{
    std::lock_guard lock(m_lock);
    const auto until = m_quietUntil.constFind(owner);
    return until != m_quietUntil.constEnd() && std::chrono::steady_clock::now() < *until;
}

void DBusAtspiTree::quieten(const QString& owner)
{
    std::lock_guard lock(m_lock);
    m_quietUntil.insert(owner, std::chrono::steady_clock::now() + std::chrono::seconds(quietSeconds));
    qCDebug(atspiLog, "%s did not answer within %d ms: not asked again for %d s", qPrintable(owner), callTimeoutMs,
            quietSeconds);
}

std::optional<ProcessID> DBusAtspiTree::processOf(const QDBusConnection& bus, const QString& owner)
{
    {
        std::lock_guard lock(m_lock);
        if (const auto known = m_processes.constFind(owner); known != m_processes.constEnd())
            return *known;
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetConnectionUnixProcessID"));
    ask.setArguments({owner});
    const QDBusMessage reply = bus.call(ask, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const auto pid = static_cast<ProcessID>(reply.arguments().constFirst().toUInt());
    std::lock_guard lock(m_lock);
    // Connection names are never reused while the bus runs.
    m_processes.insert(owner, pid);
    return pid;
}

std::optional<AtspiNode> DBusAtspiTree::application(ProcessID pid)
{
    const std::optional<QDBusConnection> bus = connection();
    if (!bus)
        return std::nullopt;
    for (const AtspiNode& app : children(desktop))
        if (processOf(*bus, app.bus) == pid)
            return app;
    return std::nullopt;
}

std::vector<AtspiNode> DBusAtspiTree::children(const AtspiNode& node)
{
    const std::optional<QVariant> value = firstArgument(call(node, accessibleInterface, QStringLiteral("GetChildren")));
    return value ? readNodes(*value) : std::vector<AtspiNode>{};
}

std::optional<quint32> DBusAtspiTree::role(const AtspiNode& node)
{
    const std::optional<QVariant> value = firstArgument(call(node, accessibleInterface, QStringLiteral("GetRole")));
    if (!value || value->typeId() != QMetaType::UInt)
        return std::nullopt;
    return value->toUInt();
}

std::optional<QString> DBusAtspiTree::name(const AtspiNode& node)
{
    const std::optional<QVariant> value = property(node, QStringLiteral("Name"));
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

std::optional<QString> DBusAtspiTree::description(const AtspiNode& node)
{
    const std::optional<QVariant> value = property(node, QStringLiteral("Description"));
    if (!value || value->typeId() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

std::optional<quint64> DBusAtspiTree::states(const AtspiNode& node)
{
    // Two 32-bit words, the low states first.
    const std::optional<QVariant> value = firstArgument(call(node, accessibleInterface, QStringLiteral("GetState")));
    if (!value)
        return std::nullopt;
    const QList<uint> words = qdbus_cast<QList<uint>>(*value);
    if (words.size() < 2)
        return std::nullopt;
    return quint64(words[0]) | quint64(words[1]) << 32;
}

bool DBusAtspiTree::doDefaultAction(const AtspiNode& node)
{
    const std::optional<QVariant> done =
        firstArgument(call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {0}));
    return done && done->toBool();
}

bool DBusAtspiTree::selectInParent(const AtspiNode& node)
{
    const std::optional<QVariant> parent = property(node, QStringLiteral("Parent"));
    const std::optional<QVariant> index = firstArgument(call(node, accessibleInterface, QStringLiteral("GetIndexInParent")));
    if (!parent || !index || !parent->canConvert<QDBusArgument>() || index->toInt() < 0)
        return false;
    const AtspiNode owner = readNode(parent->value<QDBusArgument>());
    const std::optional<QVariant> done =
        firstArgument(call(owner, QStringLiteral("org.a11y.atspi.Selection"), QStringLiteral("SelectChild"), {index->toInt()}));
    return done && done->toBool();
}

} // namespace ostrevane
