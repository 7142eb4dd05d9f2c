#pragma once

#include "core/platform/Dispatcher.h"
#include "core/platform/Image.h"

#include <QCache>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ostrevane {

class URLLoader;

// Turns the favicon address of a browser tab into a small picture for the tab's row.
//
// Accepted keys: "ostrevane-favicon://host?page=<tab address>&scheme=<page scheme>"
// (the site's "/favicon.ico", the same without a leading "www.", then the lookup
// service are tried in turn), plain "http"/"https" addresses (fetched once) and
// "data:" addresses (decoded in place). Anything else gives no picture and is never
// fetched.
//
// Pictures are kept in memory only, in a bounded least-recently-used cache; a failed
// load is not remembered, so the next request loads again. Concurrent requests for
// the same key share one load.
//
// Must be owned by a std::shared_ptr (shared() and std::make_shared do that): loads
// in progress hold it weakly and are dropped when it is gone.
class FaviconCache : public std::enable_shared_from_this<FaviconCache> {
public:
    using Completion = std::function<void(ImageHandle)>;

    // Pictures kept; the least recently used is dropped first.
    static constexpr int cacheLimit = 500;
    // Larger pictures are scaled down on decoding (rows draw favicons far smaller).
    static constexpr int maxPixelSide = 256;
    // The lookup service's path and the picture size it is asked for.
    static inline const QString servicePath = QStringLiteral("/s2/favicons");
    static inline const QString serviceSize = QStringLiteral("64");
    static inline const QString faviconScheme = QStringLiteral("ostrevane-favicon");

    // `serviceOrigin` is the lookup service's scheme and host ("https://host"); empty
    // disables that candidate. shared() uses the build's OSTREVANE_FAVICON_SERVICE_HOST.
    FaviconCache(Dispatcher& dispatcher, URLLoader& loader, QString serviceOrigin);
    FaviconCache(const FaviconCache&) = delete;
    FaviconCache& operator=(const FaviconCache&) = delete;

    static FaviconCache& shared();

    // Main thread only. An empty key gives no picture at once; a cached picture is
    // given at once, on the calling thread; otherwise the completion runs later on the
    // main queue with the picture or null. Completions for one key run exactly once
    // each, in the order they were requested.
    void image(const QString& key, Completion completion);

    // The cached picture for `key`, or null. Any thread.
    ImageHandle cachedImage(const QString& key) const;

    // The addresses tried, in order, for an "ostrevane-favicon" key: the site's
    // "/favicon.ico" on the page's origin, the same without a leading "www.", then the
    // lookup service asked about the page's origin only (scheme, host and a
    // non-default port, never the page's path or query). Empty when the key does not
    // parse, has no host, or names a page scheme other than http or https.
    static QStringList faviconCandidates(const QString& key, const QString& serviceOrigin);

    // The picture of a "data:" address: base64 payloads are decoded strictly (any
    // character outside the alphabet, a line break included, fails), others have their
    // percent-escapes removed (a malformed escape fails). Null when the bytes are no
    // picture.
    static ImageHandle imageFromDataURL(const QString& text);

    // The picture in `bytes`, scaled down to at most maxPixelSide; null when the bytes
    // do not decode.
    static ImageHandle decodeImage(const QByteArray& bytes);

private:
    using LoadCompletion = std::function<void(ImageHandle)>;

    // On m_queue.
    void request(const QString& key, Completion completion);
    void loadImage(const QString& urlString, LoadCompletion completion);
    void loadFirstImage(QStringList urls, LoadCompletion completion);
    void fetchImage(const QString& url, LoadCompletion completion);
    void finishLoad(const QString& key, ImageHandle image);
    void answerOnMain(std::vector<Completion> completions, ImageHandle image);
    // On the main queue.
    void deliver(const QString& key, const ImageHandle& image, const std::vector<Completion>& waiting);

    Dispatcher& m_dispatcher;
    URLLoader& m_loader;
    const QString m_serviceOrigin;
    std::shared_ptr<SerialQueue> m_queue;

    mutable std::mutex m_cacheLock; // guards m_cache
    mutable QCache<QString, ImageHandle> m_cache{cacheLimit};

    // Touched only on m_queue.
    QHash<QString, std::vector<Completion>> m_inFlight;
    // Results handed to the main queue whose delivery has not finished yet.
    QHash<QString, ImageHandle> m_delivering;
};

} // namespace ostrevane
