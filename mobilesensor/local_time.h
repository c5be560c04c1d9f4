#pragma once

#include "kinelink_export.h"

// The clock that stamps sample buffers: the computer's local calendar time, read to
// the millisecond. The platform files read it (GetLocalTime on Windows, the C
// library's local time on Linux); a test may put a scripted clock in its place. The
// replacement is not exported: tests reach it through kinelink_static.

namespace mobilesensor {

struct LocalTime {
    int year;
    int month;  // 1..12
    int day;    // 1..31
    int hour;   // 0..23
    int minute; // 0..59
    int second; // 0..59
    int millisecond;
};

// Reads the platform clock (local_time_<platform>.cpp).
KINELINK_EXPORT LocalTime readLocalTime();

using LocalTimeSource = LocalTime (*)();

// The clock that buffers read when they are constructed: readLocalTime unless a test
// replaced it. Safe to call from any thread.
LocalTimeSource currentLocalTimeSource();

// Makes buffers read source instead of the platform clock (null restores
// readLocalTime) and returns the clock used so far. For tests only.
LocalTimeSource setLocalTimeSource(LocalTimeSource source);

} // namespace mobilesensor
