#pragma once

#include "core/platform/Dispatcher.h"

#include <QtGlobal>

#include <functional>

namespace ostrevane {

// Hands memory the process has freed back to the system a moment after a burst of work.
// The allocator keeps what a burst freed (a storm of windows, many showings, a large
// listing) for the process's life otherwise: the program would stay as large as its
// busiest moment.
//
// The composition root tells it each time the event loop goes idle. `delay` seconds
// after the first such moment it looks once at the allocator, and trims when it holds
// at least `threshold` bytes more free memory than after the last trim. The loop going
// idle right after that look (the look's own timer) arms nothing, so a quiet program
// wakes for nothing. Main thread only.
class IdleMemoryTrim {
public:
    static constexpr double delay = 2.0;
    static constexpr qint64 threshold = 1024 * 1024;

    struct Ports {
        Dispatcher& dispatcher;
        // Free bytes the allocator holds (glibc: mallinfo2().fordblks).
        std::function<qint64()> freeBytes;
        // Returns free memory to the system (glibc: malloc_trim(0)).
        std::function<void()> trim;
    };

    explicit IdleMemoryTrim(Ports ports);
    ~IdleMemoryTrim();
    IdleMemoryTrim(const IdleMemoryTrim&) = delete;
    IdleMemoryTrim& operator=(const IdleMemoryTrim&) = delete;

    // The event loop is about to wait for events.
    void loopWentIdle();

private:
    void look();

    Ports m_ports;
    CancellableRef m_pending;
    bool m_justLooked = false;
    qint64 m_freeAfterTrim = 0;
};

} // namespace ostrevane
