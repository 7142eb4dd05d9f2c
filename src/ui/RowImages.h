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
// thumbnails, tab favicons and installed applications' icons. A row asks for its picture
// when it comes into view; a capture or download runs off the main thread, an icon in a
// main-queue task of its own, and the picture is handed back on the main thread, after
// which imageLoaded() asks the view to repaint. Until then (and for good
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
        // An installed application's icon by its path; called on the main queue.
        std::function<ImageHandle(const QString&)> appIcon;
    };

    // The current runtime's thumbnail and favicon caches and its workspace's icons.
    static Sources sharedSources();

    explicit RowImages(Sources sources, QObject* parent = nullptr);

    // Starts loading what `item` draws (a window's thumbnail, a tab's favicon, the icon of
    // an application without one) unless it is loaded or loading. Other rows need nothing.
    void request(const SwitchItem& item);

    // The loaded picture, or null.
    ImageHandle thumbnail(quint32 windowID) const { return m_thumbnails.value(windowID); }
    ImageHandle favicon(const QString& key) const { return m_favicons.value(key); }
    ImageHandle appIcon(const QString& path) const { return m_appIcons.value(path); }

signals:
    void imageLoaded();

private:
    void requestThumbnail(quint32 windowID);
    void requestFavicon(const QString& key);
    void requestAppIcon(const QString& path);

    Sources m_sources;
    QHash<quint32, ImageHandle> m_thumbnails;
    QHash<QString, ImageHandle> m_favicons;
    QHash<QString, ImageHandle> m_appIcons;
    QSet<quint32> m_requestedThumbnails;
    QSet<QString> m_requestedFavicons;
    QSet<QString> m_requestedAppIcons;
};

} // namespace ostrevane
