#include "local_time.h"

#include <ctime>

namespace mobilesensor {

namespace {

// The broken-down local time of the last second this thread asked for: a receive
// thread stamps thousands of buffers a second, and they share one conversion.
struct SecondCache {
    std::time_t second = -1;
    std::tm parts{};
};

} // namespace

LocalTime readLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    thread_local SecondCache cache;
    if (now.tv_sec != cache.second) {
        localtime_r(&now.tv_sec, &cache.parts);
        cache.second = now.tv_sec;
    }
    const std::tm& parts = cache.parts;
    return LocalTime{parts.tm_year + 1900,
                     parts.tm_mon + 1,
                     parts.tm_mday,
                     parts.tm_hour,
                     parts.tm_min,
                     parts.tm_sec,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

} // namespace mobilesensor
