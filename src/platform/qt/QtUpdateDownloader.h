#pragma once

#include "core/shell/SoftwareUpdateController.h"

#include <QObject>

#include <map>
#include <memory>
#include <mutex>

namespace ostrevane {

class QtURLLoader;

// The updater's downloads: each on a QtURLLoader of its own (own thread, limit,
// deadline and progress), refusing any address that is not secure, also on redirects.
// Must be made and destroyed on the main thread, which runs Qt's event loop; the
// loaders of finished downloads are dropped there.
class QtUpdateDownloader : public QObject, public UpdateDownloader {
    Q_OBJECT

public:
    QtUpdateDownloader();
    ~QtUpdateDownloader() override;

    void download(Request request, std::function<void(Result)> completion) override;
    void cancelAll() override;

private:
    void drop(quint64 id);

    std::mutex m_mutex; // guards the fields below
    std::map<quint64, std::unique_ptr<QtURLLoader>> m_loaders;
    std::map<quint64, bool> m_cancelled;
    quint64 m_nextID = 1;
};

} // namespace ostrevane
