#pragma once

#include "core/platform/Clock.h"

#include <atomic>

namespace ostrevane {

// A wall clock that only moves when told to. Starts at 2026-01-01 00:00:00 UTC.
class ManualClock : public Clock {
public:
    static constexpr double startSecondsSince1970 = 1767225600.0;

    WallTime now() const override { return WallTime{WallTime::duration{m_ticks.load()}}; }
    void set(WallTime t) { m_ticks.store(t.time_since_epoch().count()); }
    void advance(double s) { set(now() + seconds(s)); }

private:
    std::atomic<WallTime::rep> m_ticks{fromSecondsSince1970(startSecondsSince1970).time_since_epoch().count()};
};

} // namespace ostrevane
