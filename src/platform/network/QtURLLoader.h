#pragma once

#include "platform/qt/NetworkURLLoader.h"

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

// The downloads of the network module: one QNetworkAccessManager on a thread of its
// own, so downloads neither wait for nor slow the main thread. The thread starts, and
// the manager is made, with the first fetch.
class QtURLLoader : public NetworkURLLoader {
public:
    QtURLLoader();
    // `proxy`: none takes the application's proxy setting.
    explicit QtURLLoader(Options options, std::optional<QNetworkProxy> proxy = std::nullopt);
    ~QtURLLoader() override;
    QtURLLoader(const QtURLLoader&) = delete;
    QtURLLoader& operator=(const QtURLLoader&) = delete;

    void fetch(const QString& url, Completion completion) override;
    void fetch(const QString& url, ReplyCompletion completion) override;

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
    const std::optional<QNetworkProxy> m_proxy;
    std::unique_ptr<QThread> m_thread;
    QObject* m_context = nullptr; // lives on m_thread; owns the manager and the transfers

    std::mutex m_mutex; // guards the fields below
    std::map<TransferID, ReplyCompletion> m_pending;
    TransferID m_nextID = 1;
    bool m_started = false;
    bool m_stopping = false;
};

} // namespace ostrevane
