#pragma once

#include "core/platform/Dispatcher.h"
#include "platform/sim/ManualClock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace ostrevane {

// A dispatcher for tests that must really race (ThreadSanitizer runs): background and
// serial-queue tasks run on a pool of real threads, while the main queue is drained
// only by the test thread (the thread that made the dispatcher), through
// runMainUntil() or waitUntilIdle(). Delayed tasks wait on the virtual time of the
// given clock and become due only when the test calls advance(), so no test depends
// on how fast the machine is.
//
// Destroying the dispatcher stops the workers after the tasks they are running;
// background tasks still queued are dropped. Call waitUntilIdle() first when they
// must finish.
class ThreadedDispatcher : public Dispatcher {
public:
    // Enough threads that several refreshes and readers overlap on a two-core machine.
    static constexpr int defaultThreadCount = 4;

    explicit ThreadedDispatcher(ManualClock& clock, int threadCount = defaultThreadCount);
    ~ThreadedDispatcher() override;
    ThreadedDispatcher(const ThreadedDispatcher&) = delete;
    ThreadedDispatcher& operator=(const ThreadedDispatcher&) = delete;

    void async(std::function<void()> task) override;
    CancellableRef asyncAfter(double delaySeconds, std::function<void()> task) override;
    void global(QueuePriority priority, std::function<void()> task) override;
    std::shared_ptr<SerialQueue> makeSerialQueue(QueuePriority priority) override;
    // True on the thread that made the dispatcher.
    bool isMainThread() const override;

    // Runs main-queue tasks on the calling (main) thread as they arrive until
    // `predicate` holds, checked after each task and whenever work arrives. False when
    // it still does not hold after `timeoutSeconds` of real time: a safety net against
    // a hung test, never a measure of speed.
    bool runMainUntil(const std::function<bool()>& predicate, double timeoutSeconds);
    // Runs main-queue tasks until no background task is queued or running and the main
    // queue is empty. False on time-out.
    bool waitUntilIdle(double timeoutSeconds);
    // Moves virtual time forward by `seconds` and queues every delayed task that has
    // become due on the main queue, in due order (they run at the next runMainUntil).
    void advance(double seconds);

private:
    struct Delayed {
        std::function<void()> run;
        CancellableRef token;
    };
    void workerLoop();
    // Pops and runs one main-queue task; false when the queue is empty.
    bool runOneMainTask();
    bool isIdleLocked() const;

    ManualClock& m_clock;
    const std::thread::id m_mainThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_workAvailable; // workers wait here
    std::condition_variable m_mainChanged;   // the main thread waits here
    std::deque<std::function<void()>> m_background;
    std::deque<std::function<void()>> m_main;
    std::map<std::pair<WallTime, std::uint64_t>, Delayed> m_delayed;
    std::uint64_t m_sequence = 0;
    int m_running = 0;          // background tasks in progress
    std::uint64_t m_changes = 0; // main tasks queued plus background tasks finished
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace ostrevane
