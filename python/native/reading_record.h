#pragma once

// One reading as a row of the structured array that SensorStream.read returns.
// The numpy dtype is made from readingColumns(), so a new column is a new member
// here and its entry there; rows are written with no Python object per reading.

#include "tools/common/sample_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// Characters of the longest measurement name ("horizontal location").
constexpr std::size_t NAME_LENGTH = 19;

struct ReadingRecord {
    // datetime64[ms]: the host's time stamp of the reading, the computer's local
    // calendar time as the device stamped it (no time zone); NaT when invalid
    std::int64_t time;
    // float64: when the reading's datagram arrived in our code, in seconds on the
    // monotonic clock that sensorstream's readings and every program's frames carry
    double monotonic;
    std::int32_t measurement;                 // int32: the converter's "Measurement"
    char32_t measurementName[NAME_LENGTH];    // U19: kxtools::measurementName
    double values[kxtools::DATA_FIELD_COUNT]; // float64 each, NaN when unset
};

struct Column {
    std::string name;   // "time", "measurement", ..., "latitude", "horizontal_accuracy"
    std::string format; // numpy's: "M8[ms]", "<i4", "<U19", "<f8"
    std::size_t offset;
};

// The columns of ReadingRecord: time, monotonic, measurement, measurement_name, then the
// converter's data fields under their names in snake case ("HorizontalAccuracy"
// is "horizontal_accuracy", "X" is "x").
std::vector<Column> readingColumns();

// The row of a reading whose datagram arrived at arrival (monotonic seconds).
void fillRecord(const kxtools::SampleRecord& reading, double arrival, ReadingRecord& record);

// "HorizontalAccuracy" -> "horizontal_accuracy".
std::string snakeCase(const std::string& name);

} // namespace kx
