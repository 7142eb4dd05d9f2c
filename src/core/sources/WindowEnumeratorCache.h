#pragma once

#include "core/model/SwitchItem.h"
#include "core/platform/Clock.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrevane {

class Dispatcher;

// The last window list and when it was taken, so the panel can open at once from a
// possibly stale list and refresh it behind the scenes.
//
// Thread safety: every member may be called from any thread. The list, its date, the
// in-flight flag and the waiting completions are guarded by one mutex; enumeration
// never runs under it. At most one background refresh runs at a time; requests made
// meanwhile only queue their completions, which run once each, on the main queue, in
// registration order, after the list has been stored.
//
// The cache must be owned by a std::shared_ptr (shared() and std::make_shared do
// that): a background refresh holds it weakly and drops its result when the cache has
// gone in the meantime.
class WindowEnumeratorCache : public std::enable_shared_from_this<WindowEnumeratorCache> {
public:
    using Enumerate = std::function<std::vector<WindowItem>()>;
    using Completion = std::function<void()>;

    // `enumerate` produces the window list (WindowEnumerator::enumerate with the
    // context's ports in the program).
    WindowEnumeratorCache(Dispatcher& dispatcher, Clock& clock, Enumerate enumerate);
    WindowEnumeratorCache(const WindowEnumeratorCache&) = delete;
    WindowEnumeratorCache& operator=(const WindowEnumeratorCache&) = delete;

    static WindowEnumeratorCache& shared();

    // Starts a background refresh at user-initiated priority, or joins the one in
    // flight. `completion` (optional) runs on the main queue after the list is stored.
    // When the cache was invalidated while the refresh enumerated, it enumerates once
    // more before the completions run, so they always find a list at least as new as
    // their request.
    void refreshAsync(Completion completion = nullptr);
    // Enumerates on the calling thread, stores and returns the list. Leaves a
    // background refresh in flight alone; whichever stores last wins.
    std::vector<WindowItem> refreshSync();
    // True when the stored list is not empty and at most `maxAge` seconds old.
    bool isFresh(double maxAge) const;
    // The desktop says its windows changed: the stored list stays readable but is no
    // longer current. Any thread.
    void invalidate();
    // True when a list was stored and it was enumerated after the last invalidate().
    bool isCurrent() const;
    // A copy of the stored list.
    std::vector<WindowItem> cached() const;
    // When the list was last stored, if ever.
    std::optional<WallTime> refreshedAt() const;

private:
    void startAsyncRefresh();
    // Keeps `windows` unless a list enumerated later is stored already. Under the lock.
    void storeLocked(std::vector<WindowItem> windows, quint64 generation);
    void finishAsyncRefresh(std::vector<WindowItem> windows, quint64 generation);
    quint64 generation() const;

    Dispatcher& m_dispatcher;
    Clock& m_clock;
    Enumerate m_enumerate;

    mutable std::mutex m_lock; // guards the fields below
    std::vector<WindowItem> m_cached;
    std::optional<WallTime> m_refreshedAt;
    bool m_refreshing = false;
    std::vector<Completion> m_completions;
    quint64 m_generation = 0;       // invalidate() calls so far
    quint64 m_storedGeneration = 0; // the generation the stored list was enumerated in
};

} // namespace ostrevane
