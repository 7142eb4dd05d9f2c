#pragma once

#include <QtGlobal>

namespace ostrevane {

// Opt-in timing marks, so the switcher's latency can be measured from outside the
// process. When OSTREVANE_TRACE_TIMING is set in the environment (read once, at start),
// mark("forward") writes the line "trace forward <ns>" to standard error at once, <ns>
// being the monotonic clock in nanoseconds (std::chrono::steady_clock, which is
// CLOCK_MONOTONIC on Linux and so comparable with another process's readings). The
// overload with a value appends it ("trace painted <ns> <value>"). Without the variable a
// mark costs one branch and writes nothing. Any thread; marks never change behaviour.
//
// Marks written: "ready" (launch done: the hotkey is registered and other copies are
// heard), "key" (the hotkey's press reached the program), "forward" (the hotkey handler
// runs forward()), "exposed" (a showing's panel window was first exposed), "painted" (the
// first frame of a showing's view was painted; the value is its row count), "activate"
// (a chosen row's activation request is about to be sent), "tabs-refresh" (a background
// refresh of browser tabs starts asking the browsers) and "tabs-stored" (the tab cache
// stored a refresh's tabs; the value is their count).
namespace TimingTrace {

namespace detail {
extern const bool enabled;
void write(const char* event, qint64 value, bool hasValue);
} // namespace detail

inline bool isEnabled() { return detail::enabled; }

inline void mark(const char* event)
{
    if (detail::enabled)
        detail::write(event, 0, false);
}

inline void mark(const char* event, qint64 value)
{
    if (detail::enabled)
        detail::write(event, value, true);
}

} // namespace TimingTrace

} // namespace ostrevane
