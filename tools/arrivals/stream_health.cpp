#include "stream_health.h"

#include <algorithm>
#include <stdexcept>

namespace arrivals {

SeriesTracker::SeriesTracker(GapRule gapRule) : rule(gapRule) {
    if (rule.window == 0 || !(rule.factor > 1.0))
        throw std::invalid_argument("a gap rule needs a window and a factor above 1");
    recentSorted.reserve(rule.window + 1);
}

double SeriesTracker::recentMedian() const { return recentSorted[recentSorted.size() / 2]; }

bool SeriesTracker::isGap(double interval, double usual) const {
    return interval > rule.factor * usual && interval >= rule.minimumSeconds;
}

void SeriesTracker::arrived(double time) {
    ++figures.readings;
    if (figures.readings == 1) {
        figures.first = figures.last = time;
        return;
    }
    const double interval = std::max(0.0, time - figures.last);
    if (judging()) {
        const double usual = recentMedian();
        if (isGap(interval, usual)) {
            ++figures.gaps;
            figures.gapSeconds += interval;
            if (!figures.longestGap || interval > figures.longestGap->seconds)
                figures.longestGap = Gap{figures.last, interval, usual};
        }
    }
    figures.last = std::max(figures.last, time);
    ++seen;
    recent.push_back(interval);
    recentSorted.insert(std::upper_bound(recentSorted.begin(), recentSorted.end(), interval),
                        interval);
    if (recent.size() > rule.window) {
        // Intervals are never NaN (max with 0 above), so the oldest is found by value.
        recentSorted.erase(
            std::lower_bound(recentSorted.begin(), recentSorted.end(), recent.front()));
        recent.pop_front();
    }
}

SeriesHealth SeriesTracker::health(std::optional<double> now) const {
    SeriesHealth result = figures;
    result.silentFor.reset();
    const double span = figures.last - figures.first;
    if (figures.readings >= 2 && span > 0.0)
        result.achievedRate = static_cast<double>(figures.readings - 1) / span;
    if (!recent.empty()) {
        result.usualInterval = recentMedian();
        result.usualRate = result.usualInterval > 0.0 ? 1.0 / result.usualInterval : 0.0;
    }
    if (now && judging() && isGap(*now - figures.last, result.usualInterval))
        result.silentFor = *now - figures.last;
    return result;
}

} // namespace arrivals
