#include "core/shell/PooledSerialQueue.h"

namespace ostrevane {

void PooledSerialQueue::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (m_draining)
            return;
        m_draining = true;
    }
    m_launch([self = shared_from_this()] { self->drain(); });
}

void PooledSerialQueue::drain()
{
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            if (m_tasks.empty()) {
                m_draining = false;
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

} // namespace ostrevane
