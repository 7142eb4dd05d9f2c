#include "core/sources/FaviconCache.h"

#include "core/shell/RuntimeContext.h"
#include "core/platform/SystemServices.h"

#include <QBuffer>
#include <QImageReader>
#include <QUrl>
#include <QUrlQuery>

#include <optional>

namespace ostrevane {

namespace {

bool isHttpScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

int defaultPort(const QString& scheme)
{
    return scheme == QLatin1String("https") ? 443 : 80;
}

// The first value of the query item `name`; none when there is no such item.
std::optional<QString> firstQueryValue(const QUrlQuery& query, const QString& name)
{
    if (!query.hasQueryItem(name))
        return std::nullopt;
    return query.queryItemValue(name, QUrl::FullyDecoded);
}

// The origin a favicon key stands for: scheme and host from the key, and the port
// of the page when it is on that host (the key itself carries none, and a site on a
// non-default port serves its favicon there).
struct Origin {
    QString scheme;
    QString host;
    int port = -1; // -1: the scheme's default

    QUrl url(const QString& path = QString()) const
    {
        QUrl url;
        url.setScheme(scheme);
        url.setHost(host);
        url.setPort(port);
        url.setPath(path);
        return url;
    }
};

std::optional<Origin> originOfKey(const QString& key)
{
    const QUrl url(key, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QUrlQuery query(url);
    Origin origin{firstQueryValue(query, QStringLiteral("scheme")).value_or(QString()).toLower(), url.host(), url.port()};
    if (origin.scheme.isEmpty())
        origin.scheme = QStringLiteral("https");
    // Only the web is ever asked: a page of another scheme has no favicon to fetch.
    if (!isHttpScheme(origin.scheme))
        return std::nullopt;
    if (origin.port < 0) {
        const QUrl page(firstQueryValue(query, QStringLiteral("page")).value_or(QString()));
        if (page.isValid() && page.host().compare(origin.host, Qt::CaseInsensitive) == 0)
            origin.port = page.port();
    }
    if (origin.port == defaultPort(origin.scheme))
        origin.port = -1;
    return origin;
}

void appendIfValid(QStringList& list, const QUrl& url)
{
    if (url.isValid())
        list << url.toString(QUrl::FullyEncoded);
}

// The service learns only the page's origin: tab addresses (paths, queries, tokens)
// are private and never leave the machine.
QUrl serviceCandidate(const QString& serviceOrigin, const Origin& origin)
{
    QUrl url(serviceOrigin + FaviconCache::servicePath, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("domain_url"), origin.url().toString(QUrl::FullyEncoded));
    query.addQueryItem(QStringLiteral("sz"), FaviconCache::serviceSize);
    url.setQuery(query);
    return url;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-escapes removed strictly: a '%' not followed by two hex digits, or a result
// that is not UTF-8 text, fails.
std::optional<QByteArray> removePercentEscapes(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!QUtf8StringView(bytes).isValidUtf8())
        return std::nullopt;
    return bytes;
}

// Standard Base64 only: padded to whole groups, nothing outside the alphabet.
std::optional<QByteArray> decodeBase64Strictly(const QByteArray& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

// Stands in when the process was started without a URL loader: nothing is fetched.
class NoURLLoader : public URLLoader {
public:
    void fetch(const QString&, Completion completion) override { completion(std::nullopt); }
};

QString buildServiceOrigin()
{
    const QString host = QStringLiteral(OSTREVANE_FAVICON_SERVICE_HOST);
    return host.isEmpty() ? QString() : QStringLiteral("https://") + host;
}

} // namespace

FaviconCache::FaviconCache(Dispatcher& dispatcher, URLLoader& loader, QString serviceOrigin)
    : m_dispatcher(dispatcher)
    , m_loader(loader)
    , m_serviceOrigin(std::move(serviceOrigin))
    , m_queue(dispatcher.makeSerialQueue(QueuePriority::utility))
{
}

FaviconCache& FaviconCache::shared()
{
    return RuntimeContext::current().singleton<FaviconCache>([](RuntimeContext& c) {
        URLLoader* loader = c.ports().urlLoader;
        if (!loader) {
            qWarning("FaviconCache: no URL loader in this runtime; favicons are not downloaded");
            static NoURLLoader none;
            loader = &none;
        }
        return std::make_unique<FaviconCache>(c.dispatcher(), *loader, buildServiceOrigin());
    });
}

void FaviconCache::image(const QString& key, Completion completion)
{
    if (key.isEmpty()) {
        completion(nullptr);
        return;
    }
    if (ImageHandle cached = cachedImage(key)) {
        completion(std::move(cached));
        return;
    }
    m_queue->async([weak = weak_from_this(), key, completion = std::move(completion)]() mutable {
        if (auto self = weak.lock())
            self->request(key, std::move(completion));
    });
}

ImageHandle FaviconCache::cachedImage(const QString& key) const
{
    std::lock_guard lock(m_cacheLock);
    const ImageHandle* found = m_cache.object(key);
    return found ? *found : nullptr;
}

void FaviconCache::request(const QString& key, Completion completion)
{
    if (auto waiting = m_inFlight.find(key); waiting != m_inFlight.end()) {
        waiting->push_back(std::move(completion));
        return;
    }
    if (auto finished = m_delivering.find(key); finished != m_delivering.end()) {
        // The result is already on its way to the main queue: answering behind it shares
        // the load and keeps the request order.
        answerOnMain({std::move(completion)}, *finished);
        return;
    }
    m_inFlight[key].push_back(std::move(completion));
    loadImage(key, [weak = weak_from_this(), key](ImageHandle image) {
        if (auto self = weak.lock())
            self->finishLoad(key, std::move(image));
    });
}

void FaviconCache::finishLoad(const QString& key, ImageHandle image)
{
    std::vector<Completion> waiting = m_inFlight.take(key);
    m_delivering.insert(key, image);
    m_dispatcher.async([weak = weak_from_this(), key, image, waiting = std::move(waiting)] {
        if (auto self = weak.lock())
            self->deliver(key, image, waiting);
    });
}

// The picture enters the cache here, on the main thread, just before its waiting
// callbacks run: a later request finds it only after those earlier ones were answered,
// which keeps completions in request order. Requests that reached the queue meanwhile
// were answered from m_delivering, so the load is never repeated for them.
void FaviconCache::deliver(const QString& key, const ImageHandle& image, const std::vector<Completion>& waiting)
{
    if (image) {
        std::lock_guard lock(m_cacheLock);
        m_cache.insert(key, new ImageHandle(image));
    }
    for (const Completion& completion : waiting)
        completion(image);
    m_queue->async([weak = weak_from_this(), key] {
        if (auto self = weak.lock())
            self->m_delivering.remove(key);
    });
}

void FaviconCache::answerOnMain(std::vector<Completion> completions, ImageHandle image)
{
    m_dispatcher.async([weak = weak_from_this(), completions = std::move(completions), image = std::move(image)] {
        if (weak.lock()) {
            for (const Completion& completion : completions)
                completion(image);
        }
    });
}

void FaviconCache::loadImage(const QString& urlString, LoadCompletion completion)
{
    if (urlString.startsWith(QLatin1String("data:"))) {
        completion(imageFromDataURL(urlString));
        return;
    }
    const QUrl url(urlString, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        completion(nullptr);
        return;
    }
    if (url.scheme() == faviconScheme)
        loadFirstImage(faviconCandidates(urlString, m_serviceOrigin), std::move(completion));
    else if (isHttpScheme(url.scheme()))
        fetchImage(urlString, std::move(completion));
    else
        completion(nullptr);
}

void FaviconCache::loadFirstImage(QStringList urls, LoadCompletion completion)
{
    if (urls.isEmpty()) {
        completion(nullptr);
        return;
    }
    const QString first = urls.takeFirst();
    fetchImage(first, [weak = weak_from_this(), urls = std::move(urls), completion = std::move(completion)](ImageHandle image) mutable {
        if (image) {
            completion(std::move(image));
            return;
        }
        if (auto self = weak.lock())
            self->loadFirstImage(std::move(urls), std::move(completion));
    });
}

// Fetches `url` and decodes its body; the completion runs on m_queue, where all
// bookkeeping happens, whatever thread the loader answers on.
void FaviconCache::fetchImage(const QString& url, LoadCompletion completion)
{
    m_loader.fetch(url, [weak = weak_from_this(), completion = std::move(completion)](std::optional<QByteArray> body) mutable {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_queue->async([body = std::move(body), completion = std::move(completion)] {
            completion(body ? decodeImage(*body) : nullptr);
        });
    });
}

QStringList FaviconCache::faviconCandidates(const QString& key, const QString& serviceOrigin)
{
    const std::optional<Origin> origin = originOfKey(key);
    if (!origin)
        return {};
    QStringList candidates;
    appendIfValid(candidates, origin->url(QStringLiteral("/favicon.ico")));
    if (origin->host.startsWith(QLatin1String("www.")) && origin->host.size() > 4) {
        Origin bare = *origin;
        bare.host = origin->host.mid(4);
        appendIfValid(candidates, bare.url(QStringLiteral("/favicon.ico")));
    }
    if (!serviceOrigin.isEmpty())
        appendIfValid(candidates, serviceCandidate(serviceOrigin, *origin));
    return candidates;
}

ImageHandle FaviconCache::imageFromDataURL(const QString& text)
{
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (!text.startsWith(QLatin1String("data:")) || comma < 0)
        return nullptr;
    const QString header = text.left(comma);
    const QByteArray payload = text.mid(comma + 1).toUtf8();
    const std::optional<QByteArray> bytes = header.contains(QLatin1String(";base64"))
        ? decodeBase64Strictly(payload)
        : removePercentEscapes(payload);
    return bytes ? decodeImage(*bytes) : nullptr;
}

ImageHandle FaviconCache::decodeImage(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return nullptr;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // Scaled while reading where the format allows, so a huge picture is never held whole.
    if (size.isValid() && (size.width() > maxPixelSide || size.height() > maxPixelSide))
        reader.setScaledSize(size.scaled(maxPixelSide, maxPixelSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    if (image.width() > maxPixelSide || image.height() > maxPixelSide)
        image = image.scaled(maxPixelSide, maxPixelSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return std::make_shared<const QImage>(std::move(image));
}

} // namespace ostrevane
