#include "core/input/GlobalHotKey.h"

#include "core/shell/TimingTrace.h"

namespace ostrevane {

GlobalHotKey::Registry::Registry(HotkeyService& service, Dispatcher& dispatcher)
    : m_service(service)
    , m_dispatcher(dispatcher)
{
}

std::uint32_t GlobalHotKey::Registry::add(std::function<void()> handler)
{
    std::lock_guard lock(m_lock);
    const std::uint32_t id = m_nextID++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void GlobalHotKey::Registry::remove(std::uint32_t id)
{
    std::lock_guard lock(m_lock);
    m_handlers.erase(id);
}

void GlobalHotKey::Registry::installHandlersIfNeeded()
{
    {
        std::lock_guard lock(m_lock);
        if (m_handlersInstalled)
            return;
    }
    // Installed outside the lock; two first instances racing both install equal
    // handlers, which is harmless.
    m_service.setPressHandler([weak = weak_from_this()](std::uint32_t id) {
        if (const auto registry = weak.lock())
            registry->pressed(id);
    });
    m_service.setWaitingHandler([weak = weak_from_this()] {
        if (const auto registry = weak.lock())
            registry->scheduleRetry();
    });
    std::lock_guard lock(m_lock);
    m_handlersInstalled = true;
}

// May run on any thread (the service reports presses where it sees them).
void GlobalHotKey::Registry::pressed(std::uint32_t id)
{
    std::function<void()> handler;
    {
        std::lock_guard lock(m_lock);
        const auto found = m_handlers.find(id);
        if (found == m_handlers.end())
            return; // released meanwhile
        handler = found->second;
    }
    TimingTrace::mark("key");
    m_dispatcher.async(std::move(handler));
}

void GlobalHotKey::Registry::scheduleRetry()
{
    if (m_retry && !m_retry->isCancelled())
        return; // one timer serves every waiting chord
    m_retry = m_dispatcher.asyncAfter(retryInterval, [weak = weak_from_this()] {
        if (const auto registry = weak.lock()) {
            registry->m_retry.reset();
            if (registry->m_service.retry())
                registry->scheduleRetry();
        }
    });
}

void GlobalHotKey::Registry::retryNow()
{
    if (m_retry)
        m_retry->cancel();
    m_retry.reset();
    if (m_service.retry())
        scheduleRetry();
}

GlobalHotKey::GlobalHotKey(std::shared_ptr<Registry> registry, quint32 keyCode, quint32 carbonModifiers,
                           std::function<void()> handler)
    : m_registry(std::move(registry))
{
    m_id = m_registry->add(std::move(handler));
    m_registry->installHandlersIfNeeded();
    switch (m_registry->service().registerChord(keyCode, carbonModifiers, m_id)) {
    case HotkeyService::Registration::live:
        m_hotKeyRef = m_id;
        break;
    case HotkeyService::Registration::heldElsewhere:
        m_hotKeyRef = m_id;
        m_registry->scheduleRetry();
        break;
    case HotkeyService::Registration::impossible:
        break;
    }
}

GlobalHotKey::~GlobalHotKey()
{
    if (m_hotKeyRef)
        m_registry->service().unregisterChord(*m_hotKeyRef);
    m_registry->remove(m_id);
}

bool GlobalHotKey::isRegistered() const { return m_hotKeyRef && m_registry->service().isLive(*m_hotKeyRef); }

bool GlobalHotKey::isHeldElsewhere() const { return m_hotKeyRef && !m_registry->service().isLive(*m_hotKeyRef); }

} // namespace ostrevane
