#pragma once

// The --live view: for each measurement seen, the latest value of every field it
// sets, with a sparkline of the recent values, redrawn in place.

#include "reading_stats.h"
#include "sample_record.h"

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sensorstream {

class LiveTable {
public:
    explicit LiveTable(std::size_t historyLength = 24);

    // Output thread: takes in one reading.
    void add(const SampleRecord& record);

    // The lines of the table under a title line; the status text is the last line.
    std::vector<std::string> lines(const std::string& title, const MeasurementRates& rates,
                                   const std::string& status) const;

private:
    struct FieldHistory {
        std::string name;
        double latest = 0.0;
        std::deque<double> recent;
    };
    struct MeasurementRow {
        std::string time; // time of day of the latest reading
        std::vector<FieldHistory> fields;
    };

    std::size_t historyLength;
    mutable std::mutex mutex;
    std::map<std::int32_t, MeasurementRow> rows; // guarded by mutex
};

// Eight levels of block characters, the lowest value to the highest of the
// values; a constant run is drawn at mid height and a NaN as a space.
std::string sparkline(const std::deque<double>& values);

} // namespace sensorstream
