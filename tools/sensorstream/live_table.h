#pragma once

// The --live view: for each phone, and for each measurement seen of it, the latest
// value of every field it sets, with a sparkline of the recent values, redrawn in
// place.

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

    // Output thread: takes in one reading of a phone (by its place in the run's list).
    void add(std::size_t phone, const SampleRecord& record);
    void add(const SampleRecord& record) { add(0, record); }

    // The lines of the table of the first phone under a title line; the status text
    // is the last line.
    std::vector<std::string> lines(const std::string& title, const MeasurementRates& rates,
                                   const std::string& status) const;

    // A phone's part of the table: its title line and its rates.
    struct Section {
        std::string title;
        MeasurementRates rates{};
    };
    // Every phone's part under one title line and one line of column names, the
    // status lines last.
    std::vector<std::string> lines(const std::string& title, const std::vector<Section>& sections,
                                   const std::vector<std::string>& status) const;

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

    using PhoneRows = std::map<std::int32_t, MeasurementRow>;
    void appendRows(const PhoneRows& rows, const MeasurementRates& rates,
                    std::vector<std::string>& out) const;

    std::size_t historyLength;
    mutable std::mutex mutex;
    std::vector<PhoneRows> phones; // guarded by mutex; grows with the phones seen
};

// Eight levels of block characters, the lowest value to the highest of the
// values; a constant run is drawn at mid height and a NaN as a space.
std::string sparkline(const std::deque<double>& values);

} // namespace sensorstream
