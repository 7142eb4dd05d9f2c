#pragma once

#include <chrono>

namespace ostrevane {

// A point on the wall clock. Recency, force-quit marks and cache ages are wall-clock dates.
using WallTime = std::chrono::system_clock::time_point;

// Earlier than every real date: the score of anything never used.
constexpr WallTime distantPast() { return WallTime::min(); }

inline WallTime::duration seconds(double s)
{
    return std::chrono::duration_cast<WallTime::duration>(std::chrono::duration<double>(s));
}

// Seconds since 1970-01-01 UTC, as stored in settings that keep plain numbers.
inline double secondsSince1970(WallTime t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

inline WallTime fromSecondsSince1970(double s) { return WallTime{} + seconds(s); }

// The wall clock port. The program reads the system clock; tests advance a manual one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual WallTime now() const = 0;
};

} // namespace ostrevane
