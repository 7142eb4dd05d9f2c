#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace ostrevane {

// Priorities of background work, from most to least urgent.
enum class QueuePriority { userInteractive, userInitiated, utility, background };

// A handle to a delayed task. Cancelling before it runs makes it do nothing;
// cancelling afterwards is harmless.
class Cancellable {
public:
    void cancel() { m_cancelled.store(true, std::memory_order_release); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_cancelled{false};
};
using CancellableRef = std::shared_ptr<Cancellable>;

// Runs tasks one at a time, in submission order, off the main thread.
class SerialQueue {
public:
    virtual ~SerialQueue() = default;
    virtual void async(std::function<void()> task) = 0;
};

// The main queue, background queues and delayed tasks. The program uses the Qt event
// loop and a thread pool; tests use a manual dispatcher with virtual time.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;

    // Runs `task` on the main thread after everything already queued there.
    virtual void async(std::function<void()> task) = 0;
    // Runs `task` on the main thread `delaySeconds` from now unless cancelled first.
    virtual CancellableRef asyncAfter(double delaySeconds, std::function<void()> task) = 0;
    // Runs `task` on a background thread; tasks may run concurrently with each other.
    virtual void global(QueuePriority priority, std::function<void()> task) = 0;
    // A new serial queue at `priority` (tasks of one queue never overlap).
    virtual std::shared_ptr<SerialQueue> makeSerialQueue(QueuePriority priority) = 0;
    virtual bool isMainThread() const = 0;
};

} // namespace ostrevane
