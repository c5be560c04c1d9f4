#pragma once

// The --live view: for each phone, and for each measurement seen of it, its rate and
// stream health (the rate achieved since its first reading, its gaps with the
// longest, a silence going on now) and the latest value of every field it sets,
// with a sparkline of the recent values, redrawn in place.

#include "health_watch.h"
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
    // is the last line. Health left out: those columns stay blank.
    std::vector<std::string> lines(const std::string& title, const MeasurementRates& rates,
                                   const std::string& status,
                                   const MeasurementHealth& health = {}) const;

    // A phone's part of the table: its title line, its rates and its streams' health.
    struct Section {
        std::string title;
        MeasurementRates rates{};
        MeasurementHealth health{};
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
                    const MeasurementHealth& health, std::vector<std::string>& out) const;

    std::size_t historyLength;
    mutable std::mutex mutex;
    std::vector<PhoneRows> phones; // guarded by mutex; grows with the phones seen
};

// The gaps column of a stream: "none", "2, longest 2.04 s", and a silence going on
// now: "none, silent 3.1 s".
std::string gapsText(const arrivals::SeriesHealth& health);

// Eight levels of block characters, the lowest value to the highest of the
// values; a constant run is drawn at mid height and a NaN as a space.
std::string sparkline(const std::deque<double>& values);

} // namespace sensorstream
