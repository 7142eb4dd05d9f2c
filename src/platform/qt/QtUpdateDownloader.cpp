#include "platform/qt/QtUpdateDownloader.h"

#include "platform/qt/NetworkModule.h"

namespace ostrevane {

namespace {

UpdateDownloader::Result resultOf(const NetworkURLLoader::Reply& reply, bool cancelled)
{
    using Failure = UpdateDownloader::Failure;
    UpdateDownloader::Result result{Failure::none, reply.status, {}};
    switch (reply.failure) {
    case NetworkURLLoader::Reply::Failure::none:
        if (reply.status < 200 || reply.status >= 300)
            result.failure = Failure::httpStatus;
        else
            result.body = reply.body;
        break;
    case NetworkURLLoader::Reply::Failure::refused:
        result.failure = Failure::refused;
        break;
    case NetworkURLLoader::Reply::Failure::unreachable:
        result.failure = Failure::unreachable;
        break;
    case NetworkURLLoader::Reply::Failure::timedOut:
        result.failure = Failure::timedOut;
        break;
    case NetworkURLLoader::Reply::Failure::tooLarge:
        result.failure = Failure::tooLarge;
        break;
    }
    if (cancelled)
        result = {Failure::cancelled, reply.status, {}};
    return result;
}

} // namespace

QtUpdateDownloader::QtUpdateDownloader()
    : QtUpdateDownloader(
          [](NetworkURLLoader::Options options) { return NetworkModule::makeLoader(std::move(options)); })
{
}

QtUpdateDownloader::QtUpdateDownloader(MakeLoader makeLoader) : m_makeLoader(std::move(makeLoader)) {}

QtUpdateDownloader::~QtUpdateDownloader()
{
    cancelAll();
}

void QtUpdateDownloader::download(Request request, std::function<void(Result)> completion)
{
    NetworkURLLoader::Options options;
    options.timeoutSeconds = request.timeoutSeconds;
    options.maxBodyBytes = request.maxBytes;
    options.secureOnly = true;
    options.progress = std::move(request.progress);
    std::unique_ptr<NetworkURLLoader> loader = m_makeLoader(std::move(options));
    if (!loader) {
        completion(Result{Failure::unreachable, 0, {}}); // why is logged
        return;
    }
    NetworkURLLoader* raw = loader.get();
    quint64 id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextID++;
        m_loaders.emplace(id, std::move(loader));
    }
    raw->fetch(request.url, NetworkURLLoader::ReplyCompletion([this, id, completion = std::move(completion)](
                                                                  NetworkURLLoader::Reply reply) {
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
    std::map<quint64, std::unique_ptr<NetworkURLLoader>> loaders;
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
    std::unique_ptr<NetworkURLLoader> loader;
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
