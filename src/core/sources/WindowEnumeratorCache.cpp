#include "core/sources/WindowEnumeratorCache.h"

#include "core/shell/RuntimeContext.h"
#include "core/sources/WindowEnumerator.h"
#include "core/platform/Dispatcher.h"

#include <QtGlobal>

namespace ostrevane {

WindowEnumeratorCache::WindowEnumeratorCache(Dispatcher& dispatcher, Clock& clock, Enumerate enumerate)
    : m_dispatcher(dispatcher), m_clock(clock), m_enumerate(std::move(enumerate))
{
}

WindowEnumeratorCache& WindowEnumeratorCache::shared()
{
    return RuntimeContext::current().singleton<WindowEnumeratorCache>([](RuntimeContext& c) {
        Workspace* workspace = &c.workspace();
        Accessibility* accessibility = &c.accessibility();
        return std::make_unique<WindowEnumeratorCache>(c.dispatcher(), c.clock(), [workspace, accessibility] {
            return WindowEnumerator::enumerate(*workspace, *accessibility);
        });
    });
}

void WindowEnumeratorCache::refreshAsync(Completion completion)
{
    {
        std::lock_guard lock(m_lock);
        if (completion)
            m_completions.push_back(std::move(completion));
        if (m_refreshing)
            return; // the refresh in flight will run the completion
        m_refreshing = true;
    }
    startAsyncRefresh();
}

void WindowEnumeratorCache::startAsyncRefresh()
{
    std::weak_ptr<WindowEnumeratorCache> weak = weak_from_this();
    if (weak.expired()) {
        // A background task could outlive a cache it cannot hold; refresh here instead.
        qWarning("WindowEnumeratorCache: not owned by a shared_ptr; refreshing on the calling thread");
        const quint64 started = generation();
        finishAsyncRefresh(m_enumerate(), started);
        return;
    }
    m_dispatcher.global(QueuePriority::userInitiated, [weak, enumerate = m_enumerate] {
        const auto self = weak.lock();
        if (!self)
            return; // nobody is left to read the list
        const quint64 started = self->generation();
        std::vector<WindowItem> windows = enumerate();
        self->finishAsyncRefresh(std::move(windows), started);
    });
}

void WindowEnumeratorCache::finishAsyncRefresh(std::vector<WindowItem> windows, quint64 generation)
{
    std::vector<Completion> completions;
    bool again = false;
    {
        std::lock_guard lock(m_lock);
        storeLocked(std::move(windows), generation);
        // Windows came or went while this ran: whoever waits wants to see them.
        again = m_generation != generation && !m_completions.empty();
        if (!again) {
            m_refreshing = false;
            completions.swap(m_completions);
        }
    }
    if (again) {
        startAsyncRefresh();
        return;
    }
    if (completions.empty())
        return;
    m_dispatcher.async([completions = std::move(completions)] {
        for (const Completion& completion : completions)
            completion();
    });
}

// An enumeration that started before the stored one may finish after it; its list is
// older and is dropped.
void WindowEnumeratorCache::storeLocked(std::vector<WindowItem> windows, quint64 generation)
{
    if (m_refreshedAt && generation < m_storedGeneration)
        return;
    m_cached = std::move(windows);
    m_refreshedAt = m_clock.now();
    m_storedGeneration = generation;
}

quint64 WindowEnumeratorCache::generation() const
{
    std::lock_guard lock(m_lock);
    return m_generation;
}

void WindowEnumeratorCache::invalidate()
{
    std::lock_guard lock(m_lock);
    ++m_generation;
}

bool WindowEnumeratorCache::isCurrent() const
{
    std::lock_guard lock(m_lock);
    return m_refreshedAt && m_storedGeneration == m_generation;
}

std::vector<WindowItem> WindowEnumeratorCache::refreshSync()
{
    const quint64 started = generation();
    std::vector<WindowItem> windows = m_enumerate();
    std::lock_guard lock(m_lock);
    storeLocked(windows, started);
    return windows;
}

bool WindowEnumeratorCache::isFresh(double maxAge) const
{
    std::lock_guard lock(m_lock);
    return !m_cached.empty() && m_refreshedAt && m_clock.now() - *m_refreshedAt <= seconds(maxAge);
}

std::vector<WindowItem> WindowEnumeratorCache::cached() const
{
    std::lock_guard lock(m_lock);
    return m_cached;
}

std::optional<WallTime> WindowEnumeratorCache::refreshedAt() const
{
    std::lock_guard lock(m_lock);
    return m_refreshedAt;
}

} // namespace ostrevane
