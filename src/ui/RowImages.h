#pragma once

#include "core/model/SwitchItem.h"
#include "core/platform/Image.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace ostrevane {

class Dispatcher;

// The pictures of the switcher's rows that are not at hand in the records: window
// thumbnails and tab favicons. A row asks for its picture when it comes into view; the
// capture or download runs off the main thread and the picture is handed back on the main
// thread, after which imageLoaded() asks the view to repaint. Until then (and for good
// when a load fails) the row draws its placeholder. Main thread only.
class RowImages : public QObject {
    Q_OBJECT

public:
    struct Sources {
        Dispatcher* dispatcher = nullptr;
        // A window's thumbnail by its window-server number; called on a background queue.
        std::function<ImageHandle(quint32)> thumbnail;
        // Loads a favicon; called on the main thread, answers on the main thread (possibly
        // at once). Empty means favicons are not loaded.
        std::function<void(const QString&, std::function<void(ImageHandle)>)> favicon;
    };

    // The current runtime's thumbnail and favicon caches.
    static Sources sharedSources();

    explicit RowImages(Sources sources, QObject* parent = nullptr);

    // Starts loading what `item` draws (a window's thumbnail, a tab's favicon) unless it is
    // loaded or loading. Rows of other kinds need nothing.
    void request(const SwitchItem& item);

    // The loaded picture, or null.
    ImageHandle thumbnail(quint32 windowID) const { return m_thumbnails.value(windowID); }
    ImageHandle favicon(const QString& key) const { return m_favicons.value(key); }

signals:
    void imageLoaded();

private:
    void requestThumbnail(quint32 windowID);
    void requestFavicon(const QString& key);

    Sources m_sources;
    QHash<quint32, ImageHandle> m_thumbnails;
    QHash<QString, ImageHandle> m_favicons;
    QSet<quint32> m_requestedThumbnails;
    QSet<QString> m_requestedFavicons;
};

} // namespace ostrevane
