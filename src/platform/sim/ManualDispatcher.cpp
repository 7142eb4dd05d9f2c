#include "platform/sim/ManualDispatcher.h"

namespace ostrevane {

namespace {

class ManualSerialQueue : public SerialQueue {
public:
    ManualSerialQueue(ManualDispatcher& dispatcher, QueuePriority priority)
        : m_dispatcher(dispatcher), m_priority(priority) {}
    // Tasks already run one at a time and in order on the test thread.
    void async(std::function<void()> task) override { m_dispatcher.global(m_priority, std::move(task)); }

private:
    ManualDispatcher& m_dispatcher;
    QueuePriority m_priority;
};

} // namespace

void ManualDispatcher::async(std::function<void()> task)
{
    std::lock_guard lock(m_mutex);
    m_tasks.emplace(std::pair{m_clock.now(), m_sequence++}, Task{std::move(task), nullptr});
}

CancellableRef ManualDispatcher::asyncAfter(double delaySeconds, std::function<void()> task)
{
    auto token = std::make_shared<Cancellable>();
    std::lock_guard lock(m_mutex);
    m_tasks.emplace(std::pair{m_clock.now() + seconds(delaySeconds), m_sequence++}, Task{std::move(task), token});
    return token;
}

void ManualDispatcher::global(QueuePriority priority, std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_backgroundCounts[priority];
    }
    async(std::move(task));
}

std::shared_ptr<SerialQueue> ManualDispatcher::makeSerialQueue(QueuePriority priority)
{
    return std::make_shared<ManualSerialQueue>(*this, priority);
}

bool ManualDispatcher::runOneDue()
{
    Task task;
    {
        std::lock_guard lock(m_mutex);
        auto first = m_tasks.begin();
        if (first == m_tasks.end() || first->first.first > m_clock.now())
            return false;
        task = std::move(first->second);
        m_tasks.erase(first);
    }
    if (!task.token || !task.token->isCancelled())
        task.run();
    return true;
}

void ManualDispatcher::runUntilIdle()
{
    while (runOneDue()) {
    }
}

void ManualDispatcher::advance(double s)
{
    const WallTime end = m_clock.now() + seconds(s);
    for (;;) {
        runUntilIdle();
        WallTime next;
        {
            std::lock_guard lock(m_mutex);
            if (m_tasks.empty() || m_tasks.begin()->first.first > end)
                break;
            next = m_tasks.begin()->first.first;
        }
        m_clock.set(next);
    }
    m_clock.set(end);
    runUntilIdle();
}

void ManualDispatcher::dropPendingTasks()
{
    decltype(m_tasks) dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_tasks);
    }
}

size_t ManualDispatcher::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

size_t ManualDispatcher::backgroundSubmissions(QueuePriority priority) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_backgroundCounts.find(priority);
    return it == m_backgroundCounts.end() ? 0 : it->second;
}

} // namespace ostrevane
