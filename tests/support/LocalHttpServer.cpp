#include "support/LocalHttpServer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace ostrevane {

namespace {

constexpr int pumpTickMs = 20;

// The request's full address: absolute-form targets (sent to a proxy) as they are,
// origin-form targets completed with the Host header.
QString requestAddress(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QString target = QString::fromLatin1(requestLine.value(1));
    if (!target.startsWith(QLatin1Char('/')))
        return target;
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("host:"))
            return QStringLiteral("http://") + QString::fromLatin1(line.mid(5).trimmed()) + target;
    }
    return target;
}

QByteArray serialize(const LocalHttpServer::Response& response)
{
    // Clients read the code and the body only; any reason phrase will do.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    if (response.mode == LocalHttpServer::Response::Mode::complete)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    return head + "Connection: close\r\n\r\n" + response.body;
}

} // namespace

QByteArray LocalHttpServer::pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

LocalHttpServer::Response LocalHttpServer::png(int side)
{
    return Response{200, pngBytes(side, side), {}, Response::Mode::complete};
}

LocalHttpServer::Response LocalHttpServer::htmlError(int status)
{
    return Response{status, "<html><body><h1>Not here</h1></body></html>", {}, Response::Mode::complete};
}

LocalHttpServer::Response LocalHttpServer::redirect(const QString& to)
{
    return Response{302, {}, to.toUtf8(), Response::Mode::complete};
}

LocalHttpServer::Response LocalHttpServer::hang()
{
    return Response{200, {}, {}, Response::Mode::never};
}

LocalHttpServer::Response LocalHttpServer::bytes(qint64 size, Response::Mode mode)
{
    return Response{200, QByteArray(size, 'x'), {}, mode};
}

LocalHttpServer::LocalHttpServer() : m_notFound(htmlError(404))
{
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qWarning("LocalHttpServer: cannot listen: %s", qPrintable(m_server.errorString()));
}

LocalHttpServer::~LocalHttpServer()
{
    // Sockets are children of the server and go with it; their handlers must not run.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        socket->disconnect();
}

quint16 LocalHttpServer::port() const { return m_server.serverPort(); }

QString LocalHttpServer::url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1").arg(port()) + path; }

QNetworkProxy LocalHttpServer::asProxy() const
{
    return QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), port());
}

void LocalHttpServer::route(const QString& target, Response response) { m_routes.insert(target, std::move(response)); }

QStringList LocalHttpServer::requests() const { return m_requests; }

void LocalHttpServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            m_partial.remove(socket);
            m_answered.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::read(QTcpSocket* socket)
{
    // One request per connection: anything after it is left unread.
    if (m_answered.contains(socket))
        return;
    QByteArray& buffer = m_partial[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QByteArray head = buffer.left(end);
    m_partial.remove(socket);
    m_answered.insert(socket);
    answer(socket, head);
}

void LocalHttpServer::answer(QTcpSocket* socket, const QByteArray& head)
{
    const QString address = requestAddress(head);
    m_requests << address;
    const Response& response = responseFor(address);
    if (response.mode == Response::Mode::never)
        return;
    socket->write(serialize(response));
    socket->disconnectFromHost();
}

const LocalHttpServer::Response& LocalHttpServer::responseFor(const QString& address) const
{
    const QUrl url(address);
    const QString withoutQuery = url.adjusted(QUrl::RemoveQuery).toString();
    if (auto it = m_routes.find(withoutQuery); it != m_routes.end())
        return *it;
    if (auto it = m_routes.find(url.path()); it != m_routes.end())
        return *it;
    return m_notFound;
}

bool pumpEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the blocking wait below now and then, so the deadline is seen without spinning.
    QTimer ticker;
    ticker.start(pumpTickMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace ostrevane
