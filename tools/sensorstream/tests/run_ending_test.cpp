#include "tools/sensorstream/run_ending.h"

#include <gtest/gtest.h>

namespace {

using namespace sensorstream;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(RunEnding, GoesOnWhileNoConditionHolds) { EXPECT_FALSE(endingOf(RunState{}, 5u)); }

// Each condition alone gives its own ending, and when several hold at the same tick
// the first in the order failure, count, duration, Ctrl-C wins: a failed output is
// never reported as a plain stop.
TEST(RunEnding, TheFirstConditionThatHoldsEndsTheRun) {
    RunState failed;
    failed.outputFailure = "cannot write to standard output: Broken pipe";
    RunState counted;
    counted.countReached = true;
    RunState timed;
    timed.durationOver = true;
    RunState interrupted;
    interrupted.stopRequested = true;
    EXPECT_EQ("stopped: cannot write to standard output: Broken pipe", endingOf(failed, 5u));
    EXPECT_EQ("reached --count 5", endingOf(counted, 5u));
    EXPECT_EQ("ran for --duration", endingOf(timed, 5u));
    EXPECT_EQ("stopped by Ctrl-C", endingOf(interrupted, 5u));

    RunState all = failed;
    all.countReached = all.durationOver = all.stopRequested = true;
    EXPECT_EQ(endingOf(failed, 5u), endingOf(all, 5u));
    all.outputFailure.reset();
    EXPECT_EQ("reached --count 5", endingOf(all, 5u));
    all.countReached = false;
    EXPECT_EQ("ran for --duration", endingOf(all, 5u));
}

TEST(RunEnding, DeadlineIsTheDurationAfterTheStartOrNever) {
    const Clock::time_point start{};
    EXPECT_EQ(Clock::time_point::max(), deadlineOf(start, std::nullopt));
    EXPECT_EQ(start + 1500ms, deadlineOf(start, 1.5));
    EXPECT_EQ(start + 20s, deadlineOf(start, 20.0));
}

// The ending comes first, then the summary; every line, and only whole lines, under
// the program's name.
TEST(RunEnding, ClosingTextPutsEveryLineUnderTheProgramsName) {
    MeasurementCounts counts{};
    counts[1] = 100;
    counts[7] = 2;
    Accounting accounting;
    accounting.written = 103;
    accounting.output = 102;
    accounting.notConverted = 1;
    EXPECT_EQ("sensorstream: stopped by Ctrl-C\n"
              "sensorstream: 102 readings in 2.0 s (51.0 a second): acceleration 100, "
              "vertical location 2\n"
              "sensorstream: buffers written by the device 103, readings output 102, 1 the "
              "converter made nothing of: none lost\n",
              closingText("stopped by Ctrl-C", 2.0, counts, accounting));

    accounting = Accounting{};
    accounting.written = 4;
    accounting.refused = 1;
    EXPECT_EQ("sensorstream: ran for --duration\n"
              "sensorstream: 0 readings in 0.5 s (0.0 a second)\n"
              "sensorstream: buffers written by the device 4, readings output 0: 4 lost (1 "
              "refused by the channel)\n",
              closingText("ran for --duration", 0.5, MeasurementCounts{}, accounting));
}

} // namespace
