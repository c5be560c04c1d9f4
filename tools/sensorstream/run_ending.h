#pragma once

// How a run ends: the conditions checked at every tick, in order, and the closing
// lines that say why it ended and account for every reading.

#include "reading_stats.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sensorstream {

// What the main loop sees at one tick.
struct RunState {
    std::optional<std::string> outputFailure; // writing the readings failed: why
    bool countReached = false;                // --count readings were output
    bool durationOver = false;                // --duration has passed
    bool stopRequested = false;               // Ctrl-C (or SIGTERM)
};

// Why the run ends now, the first of the conditions above that holds ("stopped:
// cannot write ...", "reached --count N", "ran for --duration", "stopped by Ctrl-C");
// nothing while the run goes on. count: the --count asked for.
std::optional<std::string> endingOf(const RunState& state, std::optional<std::uint64_t> count);

// When --duration (seconds) after start has passed; the end of time without one.
std::chrono::steady_clock::time_point deadlineOf(std::chrono::steady_clock::time_point start,
                                                 std::optional<double> duration);

// The ending, then the summary of the readings and their accounting, every line
// under the program's name ("sensorstream: ...").
std::string closingText(const std::string& ending, double seconds, const MeasurementCounts& counts,
                        const Accounting& accounting);
// The same with a summary of its own (runSummary of several phones, a broker).
std::string closingText(const std::string& ending, const std::string& summary);

} // namespace sensorstream
