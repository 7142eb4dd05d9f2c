#pragma once

#include "core/platform/SystemServices.h"

#include <QNetworkProxy>
#include <QUrl>

#include <functional>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

class QObject;
class QThread;

namespace ostrevane {

// The program's URL loader: one QNetworkAccessManager on a thread of its own, so
// downloads neither wait for nor slow the main thread. The thread starts, and the
// manager is made, with the first fetch.
//
// Only http and https addresses are fetched, also after redirects (a redirect to any
// other scheme, or from https down to http, ends the fetch). Every fetch ends after
// the time-out, and a body over the limit is refused as soon as its size is announced
// or exceeded. No cookies are sent or kept. The body is given whatever the response
// status; transport errors, time-outs and refusals give nothing.
//
// The completion runs exactly once, on the loader's thread, or on the calling thread
// when the address is refused at once or the loader is shutting down. Destroying the
// loader ends the fetches in progress, completing them with nothing.
class QtURLLoader : public URLLoader {
public:
    static constexpr double defaultTimeoutSeconds = 10.0;
    static constexpr qint64 defaultMaxBodyBytes = 1024 * 1024;
    static constexpr int maxRedirects = 5;

    struct Options {
        double timeoutSeconds = defaultTimeoutSeconds;
        qint64 maxBodyBytes = defaultMaxBodyBytes;
        // None: the application's proxy setting.
        std::optional<QNetworkProxy> proxy;
        // Only https, and plain http to this machine, also after redirects.
        bool secureOnly = false;
        // Bytes received and in all (-1 while unknown), on the loader's thread.
        std::function<void(qint64 received, qint64 total)> progress;
    };

    // How a fetch ended, for callers that tell failures apart.
    struct Reply {
        enum class Failure { none, refused, unreachable, timedOut, tooLarge };
        Failure failure = Failure::none;
        int status = 0; // the HTTP status of the final response; 0 without one
        QByteArray body;
    };
    using ReplyCompletion = std::function<void(Reply reply)>;

    QtURLLoader();
    explicit QtURLLoader(Options options);
    ~QtURLLoader() override;
    QtURLLoader(const QtURLLoader&) = delete;
    QtURLLoader& operator=(const QtURLLoader&) = delete;

    void fetch(const QString& url, Completion completion) override;
    // As fetch, with the reason of a failure and the status. A body arrives with any
    // final status; transport errors and refusals come without one.
    void fetch(const QString& url, ReplyCompletion completion);

    // True for valid http and https addresses with a host.
    static bool isFetchable(const QUrl& url);

private:
    class Transfer;
    friend class Transfer;

    using TransferID = quint64;
    // Removes and returns the completion of `id`; null when already completed.
    ReplyCompletion take(TransferID id);
    void complete(TransferID id, Reply reply);
    bool isAllowed(const QUrl& url) const;
    bool redirectIsAllowed(const QUrl& from, const QUrl& to) const;
    void start(TransferID id, const QUrl& url); // on the loader's thread

    const Options m_options;
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr; // lives on m_thread; owns the manager and the transfers

    std::mutex m_mutex; // guards the fields below
    std::map<TransferID, ReplyCompletion> m_pending;
    TransferID m_nextID = 1;
    bool m_started = false;
    bool m_stopping = false;
};

} // namespace ostrevane
