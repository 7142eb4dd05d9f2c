#pragma once

#include "core/shell/SoftwareUpdateController.h"
#include "platform/qt/NetworkURLLoader.h"

#include <QObject>

#include <map>
#include <memory>
#include <mutex>

namespace ostrevane {

// The updater's downloads: each on a loader of its own from the network module (own
// thread, limit, deadline and progress), refusing any address that is not secure, also
// on redirects. Without the module a download fails as unreachable.
// Must be made and destroyed on the main thread, which runs Qt's event loop; the
// loaders of finished downloads are dropped there.
class QtUpdateDownloader : public QObject, public UpdateDownloader {
    Q_OBJECT

public:
    using MakeLoader = std::function<std::unique_ptr<NetworkURLLoader>(NetworkURLLoader::Options)>;

    // Loaders from the network module; a test passes its own.
    QtUpdateDownloader();
    explicit QtUpdateDownloader(MakeLoader makeLoader);
    ~QtUpdateDownloader() override;

    void download(Request request, std::function<void(Result)> completion) override;
    void cancelAll() override;

private:
    void drop(quint64 id);

    const MakeLoader m_makeLoader;
    std::mutex m_mutex; // guards the fields below
    std::map<quint64, std::unique_ptr<NetworkURLLoader>> m_loaders;
    std::map<quint64, bool> m_cancelled;
    quint64 m_nextID = 1;
};

} // namespace ostrevane
