#include "run_ending.h"

namespace sensorstream {

std::optional<std::string> endingOf(const RunState& state, std::optional<std::uint64_t> count) {
    if (state.outputFailure)
        return "stopped: " + *state.outputFailure;
    if (state.countReached)
        return "reached --count " + std::to_string(count.value_or(0));
    if (state.durationOver)
        return std::string("ran for --duration");
    if (state.stopRequested)
        return std::string("stopped by Ctrl-C");
    return std::nullopt;
}

std::chrono::steady_clock::time_point deadlineOf(std::chrono::steady_clock::time_point start,
                                                 std::optional<double> duration) {
    using Clock = std::chrono::steady_clock;
    if (!duration)
        return Clock::time_point::max();
    return start +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*duration));
}

std::string closingText(const std::string& ending, double seconds, const MeasurementCounts& counts,
                        const Accounting& accounting) {
    return closingText(ending, summaryText(seconds, counts, accounting));
}

std::string closingText(const std::string& ending, const std::string& summary) {
    const std::string text = ending + "\n" + summary;
    std::string prefixed;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find('\n', at);
        prefixed += "sensorstream: " + text.substr(at, next - at) + "\n";
        at = next == std::string::npos ? text.size() : next + 1;
    }
    return prefixed;
}

} // namespace sensorstream
