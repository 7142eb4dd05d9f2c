#pragma once

#include "core/platform/Dispatcher.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace ostrevane {

// A serial queue over a concurrent background queue: at most one drain task runs at a
// time and runs the submitted tasks in order. `launch` starts a task on the background
// queue; the drain holds the queue alive until its last task has run.
class PooledSerialQueue : public SerialQueue, public std::enable_shared_from_this<PooledSerialQueue> {
public:
    using Launcher = std::function<void(std::function<void()>)>;

    explicit PooledSerialQueue(Launcher launch) : m_launch(std::move(launch)) {}

    void async(std::function<void()> task) override;

private:
    void drain();

    Launcher m_launch;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    bool m_draining = false;
};

} // namespace ostrevane
