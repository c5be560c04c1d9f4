#include "tools/arrivals/stream_health.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using arrivals::GapRule;
using arrivals::SeriesHealth;
using arrivals::SeriesTracker;

// A steady stream of `count` readings every `interval` seconds from `start`.
double feed(SeriesTracker& tracker, double start, double interval, int count) {
    double t = start;
    for (int i = 0; i < count; ++i, t += interval)
        tracker.arrived(t);
    return t - interval; // the last arrival
}

TEST(StreamHealth, SteadyStreamHasItsRateAndNoGaps) {
    SeriesTracker tracker;
    const double last = feed(tracker, 1000.0, 0.02, 501);
    const SeriesHealth h = tracker.health();
    EXPECT_EQ(501u, h.readings);
    EXPECT_DOUBLE_EQ(1000.0, h.first);
    EXPECT_DOUBLE_EQ(last, h.last);
    EXPECT_NEAR(50.0, h.achievedRate, 1e-6);
    EXPECT_NEAR(0.02, h.usualInterval, 1e-9);
    EXPECT_NEAR(50.0, h.usualRate, 1e-6);
    EXPECT_EQ(0u, h.gaps);
    EXPECT_FALSE(h.longestGap.has_value());
}

TEST(StreamHealth, AKnownGapIsFoundWithItsStartAndLength) {
    SeriesTracker tracker;
    const double beforeGap = feed(tracker, 10.0, 0.02, 100);
    // Paused for 2 s, then two shorter stalls of 0.5 s and 0.3 s.
    double t = feed(tracker, beforeGap + 2.0, 0.02, 100);
    t = feed(tracker, t + 0.5, 0.02, 100);
    feed(tracker, t + 0.3, 0.02, 100);

    const SeriesHealth h = tracker.health();
    EXPECT_EQ(3u, h.gaps);
    ASSERT_TRUE(h.longestGap.has_value());
    EXPECT_DOUBLE_EQ(beforeGap, h.longestGap->start);
    EXPECT_NEAR(2.0, h.longestGap->seconds, 1e-9);
    EXPECT_NEAR(0.02, h.longestGap->usualSeconds, 1e-9);
    EXPECT_NEAR(2.8, h.gapSeconds, 1e-9);
    // The achieved rate counts the gaps in; the usual one does not.
    EXPECT_NEAR(399.0 / (396 * 0.02 + 2.8), h.achievedRate, 1e-6);
    EXPECT_NEAR(50.0, h.usualRate, 1e-6);
}

TEST(StreamHealth, JitterAndSlowStreamsAreNoGaps) {
    // Intervals of 20 ms +-50 %: never four times the median.
    SeriesTracker jittery;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(0.01, 0.03);
    double t = 0.0;
    for (int i = 0; i < 2000; ++i, t += jitter(random))
        jittery.arrived(t);
    EXPECT_EQ(0u, jittery.health().gaps);

    // A fix once a second is judged by its own pace: a 3 s pause is a gap, 1 s is not.
    SeriesTracker fixes;
    t = feed(fixes, 0.0, 1.0, 20);
    feed(fixes, t + 5.0, 1.0, 5);
    EXPECT_EQ(1u, fixes.health().gaps);
    EXPECT_NEAR(5.0, fixes.health().longestGap->seconds, 1e-9);
}

TEST(StreamHealth, NoJudgementDuringWarmUpNorBelowTheMinimum) {
    GapRule rule;
    rule.warmup = 8;
    SeriesTracker tracker(rule);
    // A long first interval: nothing to judge it against yet.
    tracker.arrived(0.0);
    tracker.arrived(3.0);
    feed(tracker, 3.01, 0.01, 20);
    EXPECT_EQ(0u, tracker.health().gaps);

    // A burst (a median of 0) followed by ordinary 10 ms intervals: below the
    // minimum length, these are no gaps.
    SeriesTracker burst;
    for (int i = 0; i < 40; ++i)
        burst.arrived(5.0);
    feed(burst, 5.01, 0.01, 10);
    EXPECT_EQ(0u, burst.health().gaps);
}

TEST(StreamHealth, OngoingSilenceIsShownButNotCounted) {
    SeriesTracker tracker;
    const double last = feed(tracker, 0.0, 0.02, 50);
    EXPECT_FALSE(tracker.health(last + 0.03).silentFor.has_value());
    const SeriesHealth silent = tracker.health(last + 1.5);
    ASSERT_TRUE(silent.silentFor.has_value());
    EXPECT_NEAR(1.5, *silent.silentFor, 1e-9);
    EXPECT_EQ(0u, silent.gaps);
    // The reading that ends it makes it a gap.
    tracker.arrived(last + 1.5);
    EXPECT_EQ(1u, tracker.health().gaps);
}

TEST(StreamHealth, FewReadingsAndTimesOutOfOrder) {
    SeriesTracker tracker;
    EXPECT_EQ(0.0, tracker.health().achievedRate);
    tracker.arrived(5.0);
    EXPECT_EQ(0.0, tracker.health().achievedRate);
    EXPECT_EQ(0.0, tracker.health().usualInterval);
    tracker.arrived(4.0); // an interval of 0, the last arrival stays
    EXPECT_EQ(5.0, tracker.health().last);
    EXPECT_EQ(0.0, tracker.health().usualInterval);

    GapRule noWindow;
    noWindow.window = 0;
    EXPECT_THROW(SeriesTracker{noWindow}, std::invalid_argument);
    GapRule factorOne;
    factorOne.factor = 1.0;
    EXPECT_THROW(SeriesTracker{factorOne}, std::invalid_argument);
}

TEST(StreamHealth, UsualIntervalIsTheMedianOfTheLastWindowAtEveryReading) {
    // Intervals from a few values, so that equal ones leave the window and enter it
    // all the time, with times out of order (intervals of 0) among them.
    for (const std::size_t window :
         {std::size_t{1}, std::size_t{4}, std::size_t{5}, std::size_t{32}}) {
        GapRule rule;
        rule.window = window;
        SeriesTracker tracker(rule);
        std::mt19937 random(static_cast<std::mt19937::result_type>(window));
        std::uniform_int_distribution<int> step(-1, 6);
        std::vector<double> intervals;
        double time = 50.0;
        double last = time;
        tracker.arrived(time);
        for (int i = 0; i < 2000; ++i) {
            time += 0.005 * step(random);
            tracker.arrived(time);
            intervals.push_back(std::max(0.0, time - last));
            last = std::max(last, time);
            std::vector<double> recent(
                intervals.end() - static_cast<std::ptrdiff_t>(std::min(window, intervals.size())),
                intervals.end());
            std::sort(recent.begin(), recent.end());
            ASSERT_EQ(recent[recent.size() / 2], tracker.health().usualInterval)
                << "window " << window << ", reading " << i;
        }
    }
}

} // namespace
