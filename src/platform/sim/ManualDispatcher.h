#pragma once

#include "core/platform/Dispatcher.h"
#include "platform/sim/ManualClock.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace ostrevane {

// A dispatcher on virtual time for tests. Nothing runs until the test says so:
// runUntilIdle() runs everything due now (main-queue tasks and background tasks,
// all on the calling thread, in submission order), advance() moves the clock
// forward through every delayed task in due order. Any thread may submit.
class ManualDispatcher : public Dispatcher {
public:
    explicit ManualDispatcher(ManualClock& clock) : m_clock(clock) {}

    void async(std::function<void()> task) override;
    CancellableRef asyncAfter(double delaySeconds, std::function<void()> task) override;
    void global(QueuePriority priority, std::function<void()> task) override;
    std::shared_ptr<SerialQueue> makeSerialQueue(QueuePriority priority) override;
    bool isMainThread() const override { return true; }

    // Runs every task due at the current virtual time, including those they submit.
    void runUntilIdle();
    // Moves the clock forward by `seconds`, running each delayed task at its due time.
    void advance(double seconds);
    // Forgets every queued task (a simulated process exit).
    void dropPendingTasks();
    // Tasks submitted and not yet run (cancelled delayed tasks included until due).
    size_t pendingCount() const;
    // Background tasks submitted so far, by priority (for tests of where work runs).
    size_t backgroundSubmissions(QueuePriority priority) const;

private:
    struct Task {
        std::function<void()> run;
        CancellableRef token;
    };
    bool runOneDue();

    ManualClock& m_clock;
    mutable std::mutex m_mutex;
    // Keyed by (due time, submission number), so equal due times run in submission order.
    std::map<std::pair<WallTime, std::uint64_t>, Task> m_tasks;
    std::uint64_t m_sequence = 0;
    std::map<QueuePriority, size_t> m_backgroundCounts;
};

} // namespace ostrevane
