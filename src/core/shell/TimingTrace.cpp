#include "core/shell/TimingTrace.h"

#include <chrono>
#include <cstdio>

namespace ostrevane::TimingTrace::detail {

const bool enabled = qEnvironmentVariableIsSet("OSTREVANE_TRACE_TIMING");

void write(const char* event, qint64 value, bool hasValue)
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart).count();
    // One line per write, flushed at once: the reader compares its time with its own clock.
    if (hasValue)
        std::fprintf(stderr, "trace %s %lld %lld\n", event, ns, static_cast<long long>(value));
    else
        std::fprintf(stderr, "trace %s %lld\n", event, ns);
    std::fflush(stderr);
}

} // namespace ostrevane::TimingTrace::detail
