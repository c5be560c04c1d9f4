#include "tools/common/stop_signal.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

// One process-wide flag, so the cases run in order within one test.
TEST(StopSignal, SleepReachesDeadlineThenSignalEndsSleepsEarly) {
    kxtools::installStopHandler();
    ASSERT_FALSE(kxtools::stopRequested());

    // Without a stop request the sleep lasts until its deadline.
    const auto start = steady_clock::now();
    EXPECT_TRUE(kxtools::sleepUntil(start + milliseconds(30)));
    EXPECT_GE(steady_clock::now(), start + milliseconds(30));

    // A raised SIGINT is taken as a stop request, not as the end of the process.
    std::raise(SIGINT);
    EXPECT_TRUE(kxtools::stopRequested());

    // A sleep after the request returns at once, however far its deadline.
    const auto before = steady_clock::now();
    EXPECT_FALSE(kxtools::sleepUntil(before + hours(1)));
    EXPECT_LT(steady_clock::now(), before + seconds(1));
}

} // namespace
