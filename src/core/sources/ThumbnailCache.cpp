#include "core/sources/ThumbnailCache.h"

#include "core/shell/RuntimeContext.h"
#include "core/platform/WindowServer.h"

#include <QImage>

#include <algorithm>
#include <vector>

namespace ostrevane {

namespace {

// The picture is drawn at one point per captured pixel, whatever scale the capture
// carried.
ImageHandle atOnePointPerPixel(ImageHandle capture)
{
    if (capture->devicePixelRatio() == 1.0)
        return capture;
    QImage image = *capture; // shares the pixels
    image.setDevicePixelRatio(1.0);
    return std::make_shared<const QImage>(std::move(image));
}

} // namespace

ThumbnailCache::ThumbnailCache(WindowServer& windowServer, Clock& clock, int maxEntries)
    : m_windowServer(windowServer), m_clock(clock), m_maxEntries(std::max(maxEntries, 0))
{
    m_leavingToken = m_windowServer.observeLeavingPictures([this](quint32 windowID, ImageHandle picture) {
        if (picture && !picture->isNull())
            store(windowID, atOnePointPerPixel(std::move(picture)));
        else
            forget(windowID); // a window that is gone is never a row again
    });
}

ThumbnailCache::~ThumbnailCache() { m_windowServer.removeObserver(m_leavingToken); }

ThumbnailCache& ThumbnailCache::shared()
{
    return RuntimeContext::current().singleton<ThumbnailCache>(
        [](RuntimeContext& c) { return std::make_unique<ThumbnailCache>(c.windowServer(), c.clock()); });
}

ImageHandle ThumbnailCache::thumbnail(quint32 windowID)
{
    {
        std::lock_guard lock(m_lock);
        auto it = m_cache.find(windowID);
        if (it != m_cache.end()) {
            it->second.lastAccessed = m_clock.now();
            return it->second.image;
        }
    }
    if (!m_windowServer.preflightScreenCaptureAccess())
        return nullptr;
    ImageHandle capture = m_windowServer.captureWindow(windowID);
    if (!capture || capture->isNull())
        return nullptr; // not remembered: the next request tries again
    ImageHandle image = atOnePointPerPixel(std::move(capture));
    store(windowID, image);
    return image;
}

void ThumbnailCache::store(quint32 windowID, ImageHandle image)
{
    std::lock_guard lock(m_lock);
    m_cache.insert_or_assign(windowID, Entry{std::move(image), m_clock.now()});
    evictIfNeededLocked();
}

void ThumbnailCache::forget(quint32 windowID)
{
    std::lock_guard lock(m_lock);
    m_cache.erase(windowID);
}

int ThumbnailCache::count() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_cache.size());
}

bool ThumbnailCache::contains(quint32 windowID) const
{
    std::lock_guard lock(m_lock);
    return m_cache.contains(windowID);
}

void ThumbnailCache::evictIfNeededLocked()
{
    const auto excess = static_cast<std::ptrdiff_t>(m_cache.size()) - m_maxEntries;
    if (excess <= 0)
        return;
    std::vector<std::map<quint32, Entry>::iterator> byAge;
    byAge.reserve(m_cache.size());
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        byAge.push_back(it);
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto& a, const auto& b) { return a->second.lastAccessed < b->second.lastAccessed; });
    for (std::ptrdiff_t i = 0; i < excess; ++i)
        m_cache.erase(byAge[static_cast<size_t>(i)]);
}

} // namespace ostrevane
