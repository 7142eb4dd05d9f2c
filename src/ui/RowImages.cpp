#include "ui/RowImages.h"

#include "core/sources/FaviconCache.h"
#include "core/shell/RuntimeContext.h"
#include "core/sources/ThumbnailCache.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

#include <QPointer>

namespace ostrevane {

RowImages::Sources RowImages::sharedSources()
{
    Sources sources;
    sources.dispatcher = &RuntimeContext::current().dispatcher();
    // The caches are reached when a row first needs them, not before.
    sources.thumbnail = [](quint32 windowID) { return ThumbnailCache::shared().thumbnail(windowID); };
    sources.favicon = [](const QString& key, std::function<void(ImageHandle)> completion) {
        FaviconCache::shared().image(key, std::move(completion));
    };
    sources.appIcon = [](const QString& path) { return RuntimeContext::current().workspace().iconForFile(path); };
    return sources;
}

RowImages::RowImages(Sources sources, QObject* parent)
    : QObject(parent)
    , m_sources(std::move(sources))
{
}

void RowImages::request(const SwitchItem& item)
{
    if (const auto* window = item.as<WindowItem>(); window && window->cgWindowID)
        requestThumbnail(*window->cgWindowID);
    else if (const auto* tab = item.as<TabItem>(); tab && !tab->faviconURL.isEmpty())
        requestFavicon(tab->faviconURL);
    else if (const auto* app = item.as<AppItem>(); app && !app->icon && !app->path.isEmpty())
        requestAppIcon(app->path);
}

void RowImages::requestThumbnail(quint32 windowID)
{
    if (!m_sources.dispatcher || !m_sources.thumbnail || m_requestedThumbnails.contains(windowID))
        return;
    m_requestedThumbnails.insert(windowID);
    Dispatcher* dispatcher = m_sources.dispatcher;
    QPointer<RowImages> self(this);
    // A capture takes milliseconds to tens of milliseconds: never on the main thread.
    dispatcher->global(QueuePriority::userInitiated, [dispatcher, self, windowID, capture = m_sources.thumbnail] {
        ImageHandle image = capture(windowID);
        dispatcher->async([self, windowID, image = std::move(image)] {
            if (!self || !image)
                return;
            self->m_thumbnails.insert(windowID, image);
            emit self->imageLoaded();
        });
    });
}

// Theme icons are drawn on the main thread (Qt's icon loader is not thread-safe); one per
// task, so typing goes on between them.
void RowImages::requestAppIcon(const QString& path)
{
    if (!m_sources.dispatcher || !m_sources.appIcon || m_requestedAppIcons.contains(path))
        return;
    m_requestedAppIcons.insert(path);
    QPointer<RowImages> self(this);
    m_sources.dispatcher->async([self, path, render = m_sources.appIcon] {
        if (!self)
            return;
        if (ImageHandle image = render(path)) {
            self->m_appIcons.insert(path, std::move(image));
            emit self->imageLoaded();
        }
    });
}

void RowImages::requestFavicon(const QString& key)
{
    if (!m_sources.favicon || m_requestedFavicons.contains(key))
        return;
    m_requestedFavicons.insert(key);
    QPointer<RowImages> self(this);
    m_sources.favicon(key, [self, key](ImageHandle image) {
        if (!self || !image)
            return;
        self->m_favicons.insert(key, image);
        emit self->imageLoaded();
    });
}

} // namespace ostrevane
