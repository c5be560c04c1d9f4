#pragma once

// The page's messages about one phone's readings, JSON text made on the phone's
// pump thread and sent to every browser as it is:
//   {"type":"readings","phone":"walk","r":[[1,1717243530250,{"X":0.1,"Y":9.8,"Z":0.2}],...]}
// Each reading is [measurement, time, fields]: the time is the reading's time stamp
// (the computer's local clock) in milliseconds counted as if it were UTC, so that
// the page shows the local time of day with UTC arithmetic; fields holds only the
// fields the reading sets, NaN and infinities as null.

#include "tools/sensorstream/sample_record.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace sensorview {

// The time stamp's milliseconds from 1970-01-01 00:00:00 as if local time were UTC;
// nothing when it is not a valid date.
std::optional<double> wallClockMilliseconds(const std::array<double, 6>& timestamp);

class ReadingMessage {
public:
    explicit ReadingMessage(const std::string& phone);

    void add(const sensorstream::SampleRecord& record);
    std::size_t count() const { return readings; }
    // The message of the readings added since the last take; starts the next one.
    std::string take();

private:
    std::string head;
    std::string text;
    std::size_t readings = 0;
};

} // namespace sensorview
