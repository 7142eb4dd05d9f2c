#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QNetworkProxy>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <functional>
#include <memory>

class QTcpSocket;

namespace ostrevane {

// A small HTTP/1.1 server on 127.0.0.1 (a free port) with canned answers, living on
// the thread that made it; it answers while that thread runs its event loop (see
// pumpEventsUntil). It also serves as an HTTP proxy, so a client pointed at it
// through asProxy() reaches any host name ("http://www.site.test/...") without DNS.
//
// Each connection carries one request and is closed after the answer.
class LocalHttpServer {
public:
    struct Response {
        enum class Mode {
            complete,       // with Content-Length
            closeDelimited, // no Content-Length: the body ends when the connection closes
            never,          // reads the request and never answers
        };
        int status = 200;
        QByteArray body;
        QByteArray location; // sent as Location when not empty
        Mode mode = Mode::complete;
    };

    static QByteArray pngBytes(int width, int height); // a PNG picture of that size

    // Canned answers.
    static Response png(int side = 16); // a picture of side x side pixels
    static Response htmlError(int status = 404);
    static Response redirect(const QString& to); // 302 Found
    static Response hang();
    static Response bytes(qint64 size, Response::Mode mode = Response::Mode::complete);

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by `path`.
    QString url(const QString& path) const;
    QNetworkProxy asProxy() const;

    // Answers requests for `target` with `response`. A target is a full address
    // without query ("http://www.site.test/favicon.ico"), matched first, or a path
    // ("/favicon.ico") matched on any host. Unrouted requests get a 404 HTML page.
    void route(const QString& target, Response response);

    // The requests received so far, in order, as full addresses with their query
    // ("http://site.test/s2/favicons?domain_url=...").
    QStringList requests() const;

private:
    void accept();
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& head);
    const Response& responseFor(const QString& address) const;

    QTcpServer m_server;
    QHash<QString, Response> m_routes;
    Response m_notFound;
    QStringList m_requests;
    QHash<QTcpSocket*, QByteArray> m_partial; // requests still arriving
    QSet<QTcpSocket*> m_answered;
};

// Runs the calling thread's event loop until `done` holds or `timeoutMs` passes;
// returns whether `done` held. Waits on events, never sleeps.
bool pumpEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace ostrevane
