#pragma once

#include "core/platform/Clock.h"
#include "core/platform/Image.h"

#include <QtGlobal>

#include <cstdint>
#include <map>
#include <mutex>

namespace ostrevane {

class WindowServer;

// Pictures of windows for the switcher's rows, keyed by window-server number.
// A window is captured once and its picture kept (it does not age) until it is
// among the least recently used beyond `maxEntries`. Failed captures are not kept,
// so the next request tries again. A window that leaves the screen (iconified, or on
// another desktop) cannot be captured: the picture the window server took as it left
// replaces the kept one, so its row shows the window as it was last seen.
//
// thumbnail() may be called from any thread; a capture takes tens of milliseconds,
// so callers call it off the main thread. The capture runs outside the lock; two
// threads asking for the same uncached window may both capture it (the later store
// wins).
class ThumbnailCache {
public:
    static constexpr int defaultMaxEntries = 100;

    ThumbnailCache(WindowServer& windowServer, Clock& clock, int maxEntries = defaultMaxEntries);
    ~ThumbnailCache();
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    static ThumbnailCache& shared();

    // The kept picture (a hit refreshes its last use), or a new capture; null when
    // capture is not permitted or fails.
    ImageHandle thumbnail(quint32 windowID);

    // How many pictures are kept, and whether one is kept for `windowID` (without
    // counting as a use).
    int count() const;
    bool contains(quint32 windowID) const;

private:
    struct Entry {
        ImageHandle image;
        WallTime lastAccessed;
    };
    void evictIfNeededLocked();
    void store(quint32 windowID, ImageHandle image);
    void forget(quint32 windowID);

    WindowServer& m_windowServer;
    Clock& m_clock;
    const int m_maxEntries;
    std::uint64_t m_leavingToken = 0;

    mutable std::mutex m_lock; // guards m_cache
    std::map<quint32, Entry> m_cache;
};

} // namespace ostrevane
