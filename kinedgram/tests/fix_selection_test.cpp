#include "kinedgram/fix_selection.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using kinedgram::acceptFix;
using kinedgram::FIX_SOURCE_G;
using kinedgram::FIX_SOURCE_N;
using kinedgram::FixState;

struct Fix {
    int source;
    double time;
    double accuracy;
    double speed;
    bool accepted;
};

// Runs fixes in order on one state and checks each decision.
void play(std::initializer_list<Fix> fixes) {
    FixState state;
    int step = 0;
    for (const Fix& fix : fixes) {
        EXPECT_EQ(fix.accepted, acceptFix(state, fix.source, fix.time, fix.accuracy, fix.speed))
            << "step " << step << " at t=" << fix.time;
        ++step;
    }
}

TEST(FixSelection, FirstFixIsAlwaysTaken) {
    play({{FIX_SOURCE_G, 0, 1e9, 0, true}});
    play({{FIX_SOURCE_N, -5e9, NAN, NAN, true}});
}

TEST(FixSelection, WorseAccuracyWaitsTenSecondsPerMetrePerSecond) {
    // Speed 0 counts as 1/3 m/s: 30 s for the same source.
    play({{FIX_SOURCE_G, 0, 5, 0, true},
          {FIX_SOURCE_G, 20000, 20, 0, false},
          {FIX_SOURCE_G, 29999, 20, 0, false},
          {FIX_SOURCE_G, 30000, 20, 0, true}});
    // Twice that when the source changes.
    play({{FIX_SOURCE_G, 0, 5, 0, true},
          {FIX_SOURCE_N, 59999, 20, 0, false},
          {FIX_SOURCE_N, 60000, 20, 0, true}});
    // Speed 2: 5 s.
    play({{FIX_SOURCE_G, 0, 5, 0, true},
          {FIX_SOURCE_G, 4999, 20, 2, false},
          {FIX_SOURCE_G, 5000, 20, 2, true}});
}

TEST(FixSelection, EqualOrBetterAccuracyIsTakenAtOnce) {
    play({{FIX_SOURCE_G, 0, 5, 0, true},
          {FIX_SOURCE_N, 1, 5, 0, true},
          {FIX_SOURCE_G, 2, 4, 0, true},
          {FIX_SOURCE_G, 3, 4.5, 0, false}});
}

TEST(FixSelection, FixesMoreThanTwoSecondsBackAreNeverTaken) {
    play({{FIX_SOURCE_G, 10000, 5, 0, true},
          {FIX_SOURCE_G, 7999, 1, 0, false},
          {FIX_SOURCE_G, 8000, 1, 0, true}});
}

TEST(FixSelection, NanNeverBlocksThroughTheTimeTest) {
    // A NaN accuracy is never better, so only the time lets it through.
    play({{FIX_SOURCE_G, 0, 5, 0, true},
          {FIX_SOURCE_G, 1000, NAN, 0, false},
          {FIX_SOURCE_G, 30000, NAN, 0, true}});
    play({{FIX_SOURCE_G, 0, 5, 0, true}, {FIX_SOURCE_G, NAN, 20, 0, true}});
    play({{FIX_SOURCE_G, 0, 5, 0, true}, {FIX_SOURCE_G, 1000, 20, NAN, true}});
}

TEST(FixSelection, SkippedFixLeavesTheStateAlone) {
    FixState state;
    ASSERT_TRUE(acceptFix(state, FIX_SOURCE_G, 0, 5, 0));
    ASSERT_FALSE(acceptFix(state, FIX_SOURCE_N, 1000, 50, 0));
    EXPECT_EQ(FIX_SOURCE_G, state.lastFixSource);
    EXPECT_EQ(5.0, state.lastFixAccuracy);
    EXPECT_EQ(0.0, state.lastFixTime);
    ASSERT_TRUE(acceptFix(state, FIX_SOURCE_N, 2000, -1, 0)); // better (negative) accuracy
    EXPECT_EQ(FIX_SOURCE_N, state.lastFixSource);
    EXPECT_EQ(-1.0, state.lastFixAccuracy);
    EXPECT_EQ(2000.0, state.lastFixTime);
}

} // namespace
