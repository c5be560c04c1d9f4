#pragma once

// The stream health of a run (tools/arrivals/stream_health.h) per phone and
// measurement: the output thread tells it each reading's arrival; the main thread
// reads it for the status line, the summary and the --health report.

#include "mobilesensor/datagram_accounting.h"
#include "sample_record.h"
#include "tools/arrivals/health_report.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

// One phone's streams by measurement code; empty where none has come.
using MeasurementHealth = std::array<std::optional<arrivals::SeriesHealth>, MAX_MEASUREMENT + 1>;

class HealthWatch {
public:
    explicit HealthWatch(std::vector<std::string> phoneNames, arrivals::GapRule rule = {});

    // Output thread: a reading of the phone (its place in the list) and measurement
    // arrived at time (monotonic seconds). A code no sensor has counts as "other".
    void arrived(std::size_t phone, std::int32_t measurement, double time);

    // Once the devices listen: each phone's UDP port (in the list's order), whose
    // datagram accounting the report carries from now on.
    void watchPorts(const std::vector<std::uint16_t>& ports);

    // Any thread. Phones in the list's order, measurements in the order their first
    // readings came; with now, ongoing silences too.
    std::vector<arrivals::PhoneReport> report(std::optional<double> now = std::nullopt) const;

    // Any thread. The phone's streams (its place in the list), with the silences
    // ongoing at now (monotonic seconds); all empty for a phone not in the list.
    MeasurementHealth phoneHealth(std::size_t phone, double now) const;

    // "text: acceleration 49.9/s, no gaps; orientation 49.9/s, 1 gap (longest 2.04 s)",
    // a line per phone that sent anything, and "text: datagrams 120 delivered, 90 from
    // another sender, 1 malformed, 0 dropped by the system" per watched port.
    std::vector<std::string> summaryLines() const;
    // For the status line: "gaps 3 (longest 2.04 s)", "no gaps", and what is silent
    // now: "; orient silent 3.1 s".
    std::string statusText(double now) const;
    // The JSON report; throws std::runtime_error when the file cannot be written.
    void writeReport(const std::string& path) const;

private:
    using Trackers = std::array<std::optional<arrivals::SeriesTracker>, MAX_MEASUREMENT + 1>;

    const arrivals::GapRule gapRule;
    const std::vector<std::string> names;
    mutable std::mutex mutex;
    std::vector<Trackers> trackers;                // guarded by mutex
    std::vector<std::vector<std::int32_t>> firsts; // guarded by mutex: codes in arrival order
    // Each phone's port totals when watching began; guarded by mutex.
    std::vector<mobilesensor::DatagramAccounting> portsAtStart;
};

} // namespace sensorstream
