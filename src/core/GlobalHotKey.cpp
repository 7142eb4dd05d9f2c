#include "core/GlobalHotKey.h"

#include "core/TimingTrace.h"
#include "core/platform/Dispatcher.h"

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

void GlobalHotKey::Registry::installPressHandlerIfNeeded()
{
    {
        std::lock_guard lock(m_lock);
        if (m_pressHandlerInstalled)
            return;
    }
    // Installed outside the lock; two first instances racing both install an equal
    // handler, which is harmless.
    m_service.setPressHandler([weak = weak_from_this()](std::uint32_t id) {
        if (const auto registry = weak.lock())
            registry->pressed(id);
    });
    std::lock_guard lock(m_lock);
    m_pressHandlerInstalled = true;
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

GlobalHotKey::GlobalHotKey(std::shared_ptr<Registry> registry, quint32 keyCode, quint32 carbonModifiers,
                           std::function<void()> handler)
    : m_registry(std::move(registry))
{
    m_id = m_registry->add(std::move(handler));
    m_registry->installPressHandlerIfNeeded();
    m_hotKeyRef = m_registry->service().registerChord(keyCode, carbonModifiers, m_id);
}

GlobalHotKey::~GlobalHotKey()
{
    if (m_hotKeyRef)
        m_registry->service().unregisterChord(*m_hotKeyRef);
    m_registry->remove(m_id);
}

} // namespace ostrevane
