#pragma once

// A sensor reading as the converter hands it to the host, a 1-by-1 structure with
// the 18 fields kineconvert names, read into fixed numbers: the measurement code,
// the six parts of the time stamp and the sixteen data fields, NaN where a field
// is unset. Cheap enough for every reading of a fast stream (no allocation).

#include "conduit/tvarray/tv_array.h"
#include "kineconvert/sample_structure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kxtools {

// The fields after "Timestamp" and "Measurement", in the converter's order.
constexpr std::size_t DATA_FIELD_COUNT = kineconvert::SAMPLE_FIELDS.size() - 2;
constexpr std::size_t FIRST_DATA_FIELD = 2;

// "Measurement" codes, 0 for a sample of no known sensor.
constexpr std::int32_t MAX_MEASUREMENT = kineconvert::VERTICAL_LOCATION;

struct SampleRow {
    std::int32_t measurement = 0;
    // year, month, day, hour, minute, second with milliseconds as its fraction
    std::array<double, 6> timestamp{};
    // kineconvert::SAMPLE_FIELDS[FIRST_DATA_FIELD + i] in values[i]; NaN when unset
    std::array<double, DATA_FIELD_COUNT> values{};
};

// Reads a structure made by the converter; false (row unspecified) when it is not
// a 1-by-1 structure with a numeric "Measurement". The structure stays the
// caller's. A field holding more than one number gives its first.
bool readSampleRow(const tvArray* structure, SampleRow& row);

// "acceleration", "rotation rate", "heading", "horizontal location",
// "magnetic field", "orientation", "vertical location"; "other" for 0 and for
// codes no sensor has.
std::string measurementName(std::int32_t measurement);
// The same, short, for a status line: "accel", "gyro", "heading", "location",
// "magnet", "orient", "altitude", "other".
std::string measurementShortName(std::int32_t measurement);

// Whether a time stamp is a calendar time: finite parts, year 0 to 9999, month,
// day, hour, minute and second within their ranges.
bool validTimestamp(const std::array<double, 6>& timestamp);

// Milliseconds from 1970-01-01 00:00 to the calendar time of a time stamp, read as
// it is written (no time zone is applied); the seconds are rounded to the
// millisecond. The time stamp must be valid (validTimestamp).
std::int64_t calendarMilliseconds(const std::array<double, 6>& timestamp);

} // namespace kxtools
