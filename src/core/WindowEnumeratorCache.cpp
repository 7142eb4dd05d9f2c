#include "core/WindowEnumeratorCache.h"

#include "core/RuntimeContext.h"
#include "core/WindowEnumerator.h"
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
    std::weak_ptr<WindowEnumeratorCache> weak = weak_from_this();
    if (weak.expired()) {
        // A background task could outlive a cache it cannot hold; refresh here instead.
        qWarning("WindowEnumeratorCache: not owned by a shared_ptr; refreshing on the calling thread");
        finishAsyncRefresh(m_enumerate());
        return;
    }
    m_dispatcher.global(QueuePriority::userInitiated, [weak, enumerate = m_enumerate] {
        if (weak.expired())
            return; // nobody is left to read the list
        std::vector<WindowItem> windows = enumerate();
        if (auto self = weak.lock())
            self->finishAsyncRefresh(std::move(windows));
    });
}

void WindowEnumeratorCache::finishAsyncRefresh(std::vector<WindowItem> windows)
{
    std::vector<Completion> completions;
    {
        std::lock_guard lock(m_lock);
        m_cached = std::move(windows);
        m_refreshedAt = m_clock.now();
        m_refreshing = false;
        completions.swap(m_completions);
    }
    if (completions.empty())
        return;
    m_dispatcher.async([completions = std::move(completions)] {
        for (const Completion& completion : completions)
            completion();
    });
}

std::vector<WindowItem> WindowEnumeratorCache::refreshSync()
{
    std::vector<WindowItem> windows = m_enumerate();
    std::lock_guard lock(m_lock);
    m_cached = windows;
    m_refreshedAt = m_clock.now();
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
