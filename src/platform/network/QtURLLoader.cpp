#include "platform/network/QtURLLoader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace ostrevane {

namespace {

bool isHttpScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// A final response arrived, success or error page: its body is the answer. Transport,
// proxy and protocol failures (and our own aborts) leave no trustworthy body, and an
// interim or unfollowed redirect response is no answer at all.
bool bodyIsUsable(const QNetworkReply& reply)
{
    const QVariant statusAttribute = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttribute.toInt();
    if (!statusAttribute.isValid() || status < 200 || (status >= 300 && status < 400))
        return false;
    const QNetworkReply::NetworkError error = reply.error();
    const bool contentError = error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError;
    const bool serverError = error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError;
    return error == QNetworkReply::NoError || contentError || serverError;
}

QNetworkRequest makeRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(QtURLLoader::maxRedirects);
    // Favicon fetches must not become a way to track the user across sites.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Ostrevane/" OSTREVANE_VERSION));
    return request;
}

} // namespace

// One reply on the loader's thread: collects the body within the limit, enforces the
// deadline and the redirect rule, and completes once when the reply finishes.
class QtURLLoader::Transfer {
public:
    static void attach(QtURLLoader& loader, TransferID id, QNetworkReply* reply)
    {
        struct State {
            QByteArray body;
            Reply::Failure abortedFor = Reply::Failure::none;
            int redirects = 0;
        };
        auto state = std::make_shared<State>();
        const qint64 limit = loader.m_options.maxBodyBytes;
        const auto abort = [reply, state](Reply::Failure reason) {
            state->abortedFor = reason;
            reply->abort();
        };
        armDeadline(reply, loader.m_options.timeoutSeconds, [abort] { abort(Reply::Failure::timedOut); });

        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit, abort] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > limit)
                abort(Reply::Failure::tooLarge);
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, state, limit, abort] {
            // Over the limit ends the fetch at once, so an oversized body is never held whole.
            if (!collect(*reply, state->body, limit))
                abort(Reply::Failure::tooLarge);
        });
        if (const auto& progress = loader.m_options.progress)
            QObject::connect(reply, &QNetworkReply::downloadProgress, reply, progress);
        QObject::connect(reply, &QNetworkReply::redirected, reply, [&loader, reply, state, abort](const QUrl& next) {
            // Counted here as well: the manager's own cap is not reliable with user-verified redirects.
            if (++state->redirects <= maxRedirects && loader.redirectIsAllowed(reply->url(), next))
                emit reply->redirectAllowed();
            else
                abort(Reply::Failure::refused);
        });
        QObject::connect(reply, &QNetworkReply::finished, reply, [&loader, id, reply, state, limit] {
            reply->deleteLater();
            const bool withinLimit = (!reply->isOpen() || collect(*reply, state->body, limit)) && state->body.size() <= limit;
            Reply answer;
            answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (state->abortedFor != Reply::Failure::none)
                answer.failure = state->abortedFor;
            else if (!withinLimit)
                answer.failure = Reply::Failure::tooLarge;
            else if (!bodyIsUsable(*reply))
                answer.failure = Reply::Failure::unreachable;
            else
                answer.body = std::move(state->body);
            loader.complete(id, std::move(answer));
        });
    }

private:
    // The deadline covers the whole fetch (connecting, redirects, a slow body), not
    // only silence on the line.
    static void armDeadline(QNetworkReply* reply, double timeoutSeconds, std::function<void()> expire)
    {
        auto* deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, reply, std::move(expire));
        deadline->start(static_cast<int>(std::lround(std::max(0.0, timeoutSeconds) * 1000.0)));
    }

    // Reads what has arrived, at most one byte past the limit; false when over it.
    static bool collect(QNetworkReply& reply, QByteArray& body, qint64 limit)
    {
        if (body.size() <= limit)
            body += reply.read(limit + 1 - body.size());
        return body.size() <= limit;
    }
};

QtURLLoader::QtURLLoader() : QtURLLoader(Options{}) {}

QtURLLoader::QtURLLoader(Options options, std::optional<QNetworkProxy> proxy)
    : m_options(std::move(options))
    , m_proxy(std::move(proxy))
    , m_thread(std::make_unique<QThread>())
    , m_context(new QObject)
{
    m_thread->setObjectName(QStringLiteral("ostrevane-url-loader"));
    m_context->moveToThread(m_thread.get());
}

QtURLLoader::~QtURLLoader()
{
    bool started = false;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        started = m_started;
    }
    if (!started) {
        delete m_context; // its thread never ran: nothing can be under way there
        return;
    }
    // On the loader's thread: abort the transfers (each completes with nothing), then
    // drop the manager. Requests still queued for the context go with it and are
    // completed below.
    QMetaObject::invokeMethod(m_context, [context = m_context] {
        for (QNetworkReply* reply : context->findChildren<QNetworkReply*>())
            reply->abort();
        delete context;
    }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    std::map<TransferID, ReplyCompletion> rest;
    {
        std::lock_guard lock(m_mutex);
        rest.swap(m_pending);
    }
    for (auto& [id, completion] : rest)
        completion(Reply{Reply::Failure::unreachable, 0, {}});
}

bool QtURLLoader::isFetchable(const QUrl& url)
{
    return url.isValid() && isHttpScheme(url.scheme()) && !url.host().isEmpty();
}

bool QtURLLoader::isAllowed(const QUrl& url) const
{
    return isFetchable(url) && (!m_options.secureOnly || isSecureAddress(url));
}

// Follows only http and https, and never from https down to plain http, so a fetch
// cannot be steered to a local file or another protocol, nor off encryption.
bool QtURLLoader::redirectIsAllowed(const QUrl& from, const QUrl& to) const
{
    if (!isAllowed(to))
        return false;
    return !(from.scheme() == QLatin1String("https") && to.scheme() == QLatin1String("http"));
}

void QtURLLoader::fetch(const QString& urlText, Completion completion)
{
    fetch(urlText, ReplyCompletion([completion = std::move(completion)](Reply reply) {
              // The body of any final response, as this port promises.
              const bool answered = reply.failure == Reply::Failure::none;
              completion(answered ? std::optional<QByteArray>(std::move(reply.body)) : std::nullopt);
          }));
}

void QtURLLoader::fetch(const QString& urlText, ReplyCompletion completion)
{
    const QUrl url(urlText, QUrl::StrictMode);
    {
        std::lock_guard lock(m_mutex);
        if (isAllowed(url) && !m_stopping) {
            if (!m_started) {
                m_thread->start(); // most runs fetch nothing: no thread until the first fetch
                m_started = true;
            }
            const TransferID id = m_nextID++;
            m_pending.emplace(id, std::move(completion));
            // Posted under the lock, so it is queued before a destructor's teardown.
            QMetaObject::invokeMethod(m_context, [this, id, url] { start(id, url); }, Qt::QueuedConnection);
            return;
        }
    }
    completion(Reply{Reply::Failure::refused, 0, {}});
}

void QtURLLoader::start(TransferID id, const QUrl& url)
{
    auto* manager = m_context->findChild<QNetworkAccessManager*>(QString(), Qt::FindDirectChildrenOnly);
    if (!manager) {
        // Made here, on the loader's thread, which must own it.
        manager = new QNetworkAccessManager(m_context);
        if (m_proxy)
            manager->setProxy(*m_proxy);
    }
    Transfer::attach(*this, id, manager->get(makeRequest(url)));
}

QtURLLoader::ReplyCompletion QtURLLoader::take(TransferID id)
{
    std::lock_guard lock(m_mutex);
    auto it = m_pending.find(id);
    if (it == m_pending.end())
        return {};
    ReplyCompletion completion = std::move(it->second);
    m_pending.erase(it);
    return completion;
}

void QtURLLoader::complete(TransferID id, Reply reply)
{
    if (ReplyCompletion completion = take(id))
        completion(std::move(reply));
}

} // namespace ostrevane
