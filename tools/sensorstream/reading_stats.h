#pragma once

// Counting readings per phone and measurement: the output thread adds, the main
// thread reads the totals, turns them into rates over the last seconds for the
// status line, and writes the summary at the end.

#include "sample_record.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace sensorstream {

// One counter per "Measurement" code 0 to 7 (codes outside count as 0).
using MeasurementCounts = std::array<std::uint64_t, MAX_MEASUREMENT + 1>;
using MeasurementRates = std::array<double, MAX_MEASUREMENT + 1>;

// The counter of a measurement code.
std::size_t counterOf(std::int32_t measurement);

class ReadingCounts {
public:
    explicit ReadingCounts(std::size_t phoneCount = 1);

    // A reading of the first phone.
    void add(std::int32_t measurement);
    // The counts of a batch of readings at once: one lock for the batch.
    void add(const MeasurementCounts& batch);
    // The counts of a batch of every phone's readings, by phone.
    void add(const std::vector<MeasurementCounts>& batch);
    // Every phone together.
    MeasurementCounts snapshot() const;
    std::vector<MeasurementCounts> perPhone() const;

private:
    mutable std::mutex mutex;
    std::vector<MeasurementCounts> counts; // guarded by mutex; one a phone
};

std::uint64_t totalOf(const MeasurementCounts& counts);

// Readings per second of each measurement over the last window of samples.
class RateMeter {
public:
    using Clock = std::chrono::steady_clock;
    explicit RateMeter(std::chrono::milliseconds window = std::chrono::seconds(2));

    void sample(Clock::time_point now, const MeasurementCounts& counts);
    MeasurementRates rates() const;

private:
    struct Sample {
        Clock::time_point time;
        MeasurementCounts counts;
    };
    std::chrono::milliseconds span;
    std::deque<Sample> samples;
};

// "12.3 s  1845 readings  accel 50.0/s  magnet 50.0/s ...": the measurements seen
// so far, with their current rates.
std::string statusText(double seconds, const MeasurementCounts& counts,
                       const MeasurementRates& rates);

// What the end of a run accounts for: every buffer the device wrote is output,
// left over after --count, or not converted; what is left is lost.
struct Accounting {
    std::uint64_t written = 0;      // buffers the device wrote into the channel
    std::uint64_t refused = 0;      // of which the channel refused (the queue had closed)
    std::uint64_t output = 0;       // readings written out (or shown by --live)
    std::uint64_t afterCount = 0;   // arrived after --count was reached
    std::uint64_t notConverted = 0; // the converter made no structure of them
};

std::uint64_t lostOf(const Accounting& accounting);

// "202 readings in 2.0 s (101.0 a second): acceleration 100, magnetic field 100".
std::string readingsText(double seconds, const MeasurementCounts& counts);
// "buffers written by the device 202, readings output 202: none lost".
std::string accountingText(const Accounting& accounting);

// The closing lines: readings per measurement, duration and mean rate; then the
// buffers written by the device against the readings output.
std::string summaryText(double seconds, const MeasurementCounts& counts,
                        const Accounting& accounting);

} // namespace sensorstream
