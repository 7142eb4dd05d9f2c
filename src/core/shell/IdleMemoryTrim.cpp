#include "core/shell/IdleMemoryTrim.h"

#include <algorithm>
#include <utility>

namespace ostrevane {

IdleMemoryTrim::IdleMemoryTrim(Ports ports) : m_ports(std::move(ports)) {}

IdleMemoryTrim::~IdleMemoryTrim()
{
    if (m_pending)
        m_pending->cancel();
}

void IdleMemoryTrim::loopWentIdle()
{
    if (m_pending || std::exchange(m_justLooked, false))
        return;
    m_pending = m_ports.dispatcher.asyncAfter(delay, [this] {
        m_pending.reset();
        m_justLooked = true;
        look();
    });
}

// Free memory a trim cannot return (bits of partly used pages) stays free: only what was
// freed since counts, or every look would trim again.
void IdleMemoryTrim::look()
{
    const qint64 free = m_ports.freeBytes();
    if (free - m_freeAfterTrim < threshold) {
        m_freeAfterTrim = std::min(m_freeAfterTrim, free);
        return;
    }
    m_ports.trim();
    m_freeAfterTrim = m_ports.freeBytes();
}

} // namespace ostrevane
