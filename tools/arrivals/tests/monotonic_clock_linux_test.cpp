#include "tools/arrivals/monotonic_clock.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

double clockMonotonic() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The timelines promise seconds on CLOCK_MONOTONIC: the library's steady clock must
// be that clock, not one with another origin (CLOCK_BOOTTIME, a process start).
TEST(MonotonicClock, IsTheSystemsMonotonicClock) {
    const double before = clockMonotonic();
    const double ours = arrivals::monotonicNow();
    const double after = clockMonotonic();
    EXPECT_LE(before, ours + 1e-6);
    EXPECT_GE(after + 1e-6, ours);
}

} // namespace
