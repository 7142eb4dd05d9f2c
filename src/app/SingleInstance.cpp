#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace ostrevane {

namespace {

const QByteArray whoRequest = QByteArrayLiteral("who\n");
const QByteArray quitRequest = QByteArrayLiteral("quit\n");

QString ownExecutable()
{
    const QString path = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return path.isEmpty() ? QCoreApplication::applicationFilePath() : path;
}

bool send(QLocalSocket& socket, const QString& serverName, const QByteArray& request)
{
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(LocalSocketCopies::requestTimeoutMs))
        return false;
    socket.write(request);
    return socket.waitForBytesWritten(LocalSocketCopies::requestTimeoutMs);
}

} // namespace

LocalSocketCopies::LocalSocketCopies(QString serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{
}

LocalSocketCopies::~LocalSocketCopies() = default;

QString LocalSocketCopies::defaultServerName() { return QStringLiteral("ostrevane-%1").arg(::getuid()); }

std::optional<QString> LocalSocketCopies::ownLocation() { return ownExecutable(); }

std::vector<RunningCopies::Copy> LocalSocketCopies::others()
{
    QLocalSocket socket;
    if (!send(socket, m_serverName, whoRequest))
        return {}; // nobody listens: no other copy (a stale socket file is replaced by listen())
    while (!socket.canReadLine() && socket.waitForReadyRead(requestTimeoutMs)) {
    }
    const QString line = QString::fromUtf8(socket.readLine()).trimmed();
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    bool numeric = false;
    const ProcessID pid = line.left(tab).toInt(&numeric);
    if (tab < 0 || !numeric) {
        qWarning("Ostrevane: another copy answered unexpectedly: %s", qPrintable(line));
        return {};
    }
    return {Copy{pid, line.mid(tab + 1)}};
}

void LocalSocketCopies::terminate(const Copy&)
{
    QLocalSocket socket;
    if (!send(socket, m_serverName, quitRequest))
        qWarning("Ostrevane: the running copy did not take the request to quit");
}

bool LocalSocketCopies::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    // The name may still belong to a copy that was just asked to quit, or to one that
    // crashed: this copy takes it over either way.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName)) {
        qWarning("Ostrevane: cannot listen for other copies: %s", qPrintable(m_server->errorString()));
        return false;
    }
    return true;
}

void LocalSocketCopies::answer(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QByteArray request = socket->readLine();
        if (request == whoRequest) {
            socket->write(QByteArray::number(QCoreApplication::applicationPid()) + '\t' + ownExecutable().toUtf8() + '\n');
            socket->flush();
        } else if (request == quitRequest) {
            QCoreApplication::quit();
        }
    }
}

} // namespace ostrevane
