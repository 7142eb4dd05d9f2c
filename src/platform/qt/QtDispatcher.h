#pragma once

#include "core/platform/Clock.h"
#include "core/platform/Dispatcher.h"

namespace ostrevane {

// The program's dispatcher: the main queue is the Qt event loop of the application's
// thread, background work runs on the global QThreadPool. Needs a QCoreApplication.
class QtDispatcher : public Dispatcher {
public:
    void async(std::function<void()> task) override;
    CancellableRef asyncAfter(double delaySeconds, std::function<void()> task) override;
    void global(QueuePriority priority, std::function<void()> task) override;
    std::shared_ptr<SerialQueue> makeSerialQueue(QueuePriority priority) override;
    bool isMainThread() const override;
};

// The system's wall clock.
class SystemClock : public Clock {
public:
    WallTime now() const override { return std::chrono::system_clock::now(); }
};

} // namespace ostrevane
