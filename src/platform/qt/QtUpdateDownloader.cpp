#include "platform/qt/QtUpdateDownloader.h"

#include "platform/qt/QtURLLoader.h"


namespace ostrevane {

namespace {

UpdateDownloader::Result resultOf(const QtURLLoader::Reply& reply, bool cancelled)
{
    using Failure = UpdateDownloader::Failure;
    UpdateDownloader::Result result{Failure::none, reply.status, {}};
    switch (reply.failure) {
    case QtURLLoader::Reply::Failure::none:
        if (reply.status < 200 || reply.status >= 300)
            result.failure = Failure::httpStatus;
        else
            result.body = reply.body;
        break;
    case QtURLLoader::Reply::Failure::refused:
        result.failure = Failure::refused;
        break;
    case QtURLLoader::Reply::Failure::unreachable:
        result.failure = Failure::unreachable;
        break;
    case QtURLLoader::Reply::Failure::timedOut:
        result.failure = Failure::timedOut;
        break;
    case QtURLLoader::Reply::Failure::tooLarge:
        result.failure = Failure::tooLarge;
        break;
    }
    if (cancelled)
        result = {Failure::cancelled, reply.status, {}};
    return result;
}

} // namespace

QtUpdateDownloader::QtUpdateDownloader() = default;

QtUpdateDownloader::~QtUpdateDownloader()
{
    cancelAll();
}

void QtUpdateDownloader::download(Request request, std::function<void(Result)> completion)
{
    QtURLLoader::Options options;
    options.timeoutSeconds = request.timeoutSeconds;
    options.maxBodyBytes = request.maxBytes;
    options.secureOnly = true;
    options.progress = std::move(request.progress);
    auto loader = std::make_unique<QtURLLoader>(std::move(options));
    QtURLLoader* raw = loader.get();
    quint64 id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextID++;
        m_loaders.emplace(id, std::move(loader));
    }
    raw->fetch(request.url, QtURLLoader::ReplyCompletion([this, id,
                                                          completion = std::move(completion)](QtURLLoader::Reply reply) {
        bool cancelled = false;
        {
            std::lock_guard lock(m_mutex);
            cancelled = m_cancelled.erase(id) > 0;
        }
        completion(resultOf(reply, cancelled));
        // The loader cannot end on its own thread: it is dropped on ours.
        QMetaObject::invokeMethod(this, [this, id] { drop(id); }, Qt::QueuedConnection);
    }));
}

void QtUpdateDownloader::cancelAll()
{
    std::map<quint64, std::unique_ptr<QtURLLoader>> loaders;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, loader] : m_loaders)
            m_cancelled[id] = true;
        loaders.swap(m_loaders);
    }
    loaders.clear(); // each ends its fetch, completing it as cancelled
}

void QtUpdateDownloader::drop(quint64 id)
{
    std::unique_ptr<QtURLLoader> loader;
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_loaders.find(id); it != m_loaders.end()) {
            loader = std::move(it->second);
            m_loaders.erase(it);
        }
        m_cancelled.erase(id);
    }
}

} // namespace ostrevane
