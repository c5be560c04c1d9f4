#pragma once

// Stream health: how one stream of readings (one phone's one measurement) really
// arrived, from the monotonic arrival times of its readings. The achieved rate, and
// the gaps: intervals much longer than the median of the recent ones, so that a
// stream at 5 a second and one at 500 are judged by their own pace. Pure: no clock
// is read here; the caller feeds the times, from one thread.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace arrivals {

struct GapRule {
    std::size_t window = 32; // recent intervals whose median is the yardstick
    std::size_t warmup = 8;  // intervals seen before any interval is judged
    double factor = 4.0;     // an interval this many times the recent median is a gap
    // ... and at least this long: shorter pauses are the scheduler's and the
    // network's jitter (a burst after a Wi-Fi stall makes a median of almost 0).
    double minimumSeconds = 0.05;
};

struct Gap {
    double start = 0.0;        // the arrival before the gap (monotonic seconds)
    double seconds = 0.0;      // the interval
    double usualSeconds = 0.0; // the recent median it was judged against
};

struct SeriesHealth {
    std::uint64_t readings = 0;
    double first = 0.0; // arrival of the first and the last reading
    double last = 0.0;
    // Readings per second between the first and the last arrival; 0 before two.
    double achievedRate = 0.0;
    // The median of the recent intervals, and the rate it makes; 0 before one.
    double usualInterval = 0.0;
    double usualRate = 0.0;
    std::uint64_t gaps = 0;
    double gapSeconds = 0.0; // the gaps' intervals added up
    std::optional<Gap> longestGap;
    // The silence since the last reading, when it is a gap already (given a time
    // "now" and the warm-up passed); it is not counted in gaps until a reading ends it.
    std::optional<double> silentFor;
};

class SeriesTracker {
public:
    explicit SeriesTracker(GapRule rule = {});

    // A reading arrived. A time before the last one (which one clock on one
    // thread never gives) counts as an interval of 0.
    void arrived(double time);

    // The figures so far; with now, also an ongoing silence.
    SeriesHealth health(std::optional<double> now = std::nullopt) const;

private:
    double recentMedian() const;
    bool isGap(double interval, double usual) const;
    bool judging() const { return seen >= rule.warmup && !recent.empty(); }

    const GapRule rule;
    SeriesHealth figures;
    std::deque<double> recent; // the last rule.window intervals, oldest first
    // The same intervals in ascending order, kept so with each arrival: the median
    // is then read, not sorted out of a copy for every reading.
    std::vector<double> recentSorted;
    std::uint64_t seen = 0; // intervals seen
};

} // namespace arrivals
