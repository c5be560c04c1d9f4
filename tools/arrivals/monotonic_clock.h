#pragma once

// The one clock of the programs' timelines: readings and frames are stamped with
// seconds on the monotonic clock (CLOCK_MONOTONIC on Linux), which no setting of the
// date moves, next to the wall-clock time stamps the devices make. It is the C++
// library's steady clock, which kinelink's datagram tap reads too.

#include <chrono>

namespace arrivals {

using MonotonicClock = std::chrono::steady_clock;

inline double monotonicSeconds(MonotonicClock::time_point instant) {
    return std::chrono::duration<double>(instant.time_since_epoch()).count();
}

inline double monotonicNow() { return monotonicSeconds(MonotonicClock::now()); }

} // namespace arrivals
