#include "platform/sim/ThreadedDispatcher.h"

#include "core/shell/PooledSerialQueue.h"

#include <chrono>

namespace ostrevane {

ThreadedDispatcher::ThreadedDispatcher(ManualClock& clock, int threadCount)
    : m_clock(clock), m_mainThread(std::this_thread::get_id())
{
    for (int i = 0; i < threadCount; ++i)
        m_workers.emplace_back([this] { workerLoop(); });
}

ThreadedDispatcher::~ThreadedDispatcher()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_background.clear();
    }
    m_workAvailable.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ThreadedDispatcher::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_main.push_back(std::move(task));
        ++m_changes;
    }
    m_mainChanged.notify_all();
}

CancellableRef ThreadedDispatcher::asyncAfter(double delaySeconds, std::function<void()> task)
{
    auto token = std::make_shared<Cancellable>();
    std::lock_guard lock(m_mutex);
    m_delayed.emplace(std::pair{m_clock.now() + seconds(delaySeconds), m_sequence++}, Delayed{std::move(task), token});
    return token;
}

void ThreadedDispatcher::global(QueuePriority, std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_background.push_back(std::move(task));
    }
    m_workAvailable.notify_one();
}

std::shared_ptr<SerialQueue> ThreadedDispatcher::makeSerialQueue(QueuePriority priority)
{
    return std::make_shared<PooledSerialQueue>([this, priority](std::function<void()> drain) {
        global(priority, std::move(drain));
    });
}

bool ThreadedDispatcher::isMainThread() const { return std::this_thread::get_id() == m_mainThread; }

void ThreadedDispatcher::workerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workAvailable.wait(lock, [this] { return m_stopping || !m_background.empty(); });
        if (m_stopping)
            return;
        std::function<void()> task = std::move(m_background.front());
        m_background.pop_front();
        ++m_running;
        lock.unlock();
        task();
        task = nullptr; // captured state is released off the lock, like the task itself
        lock.lock();
        --m_running;
        ++m_changes;
        // The main thread may be waiting for idleness or for state this task changed.
        m_mainChanged.notify_all();
    }
}

bool ThreadedDispatcher::runOneMainTask()
{
    std::function<void()> task;
    {
        std::lock_guard lock(m_mutex);
        if (m_main.empty())
            return false;
        task = std::move(m_main.front());
        m_main.pop_front();
    }
    task();
    return true;
}

bool ThreadedDispatcher::isIdleLocked() const { return m_main.empty() && m_background.empty() && m_running == 0; }

bool ThreadedDispatcher::runMainUntil(const std::function<bool()>& predicate, double timeoutSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        while (runOneMainTask()) {
            if (predicate())
                return true;
        }
        // Noted before the check, so a change made while the predicate runs is not missed.
        std::uint64_t seen;
        {
            std::lock_guard lock(m_mutex);
            seen = m_changes;
        }
        if (predicate())
            return true;
        std::unique_lock lock(m_mutex);
        if (!m_mainChanged.wait_until(lock, deadline, [&] { return m_changes != seen; })) {
            lock.unlock();
            return predicate();
        }
    }
}

bool ThreadedDispatcher::waitUntilIdle(double timeoutSeconds)
{
    return runMainUntil(
        [this] {
            std::lock_guard lock(m_mutex);
            return isIdleLocked();
        },
        timeoutSeconds);
}

void ThreadedDispatcher::advance(double s)
{
    m_clock.advance(s);
    std::vector<Delayed> due;
    {
        std::lock_guard lock(m_mutex);
        const WallTime now = m_clock.now();
        while (!m_delayed.empty() && m_delayed.begin()->first.first <= now) {
            due.push_back(std::move(m_delayed.begin()->second));
            m_delayed.erase(m_delayed.begin());
        }
    }
    for (Delayed& task : due)
        async([task = std::move(task)] {
            if (!task.token->isCancelled())
                task.run();
        });
}

} // namespace ostrevane
