#pragma once

// A sensor reading as the converter hands it to the host: a 1-by-1 structure with
// the 18 fields the converter names, read back through the host array API into
// plain values.

#include "conduit/tvarray/tv_array.h"
#include "kineconvert/sample_structure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorstream {

// The fields of every structure, in the converter's order: the columns of CSV.
constexpr auto SAMPLE_FIELD_NAMES = kineconvert::SAMPLE_FIELDS;

// "Measurement" codes, 0 for a sample of no known sensor.
constexpr std::int32_t MAX_MEASUREMENT = kineconvert::VERTICAL_LOCATION;

// The codes in the order people think of them, motion first, then location.
constexpr std::array<std::int32_t, MAX_MEASUREMENT + 1> MEASUREMENT_DISPLAY_ORDER = {1, 2, 5, 6,
                                                                                     3, 4, 7, 0};

struct SampleField {
    std::string name;
    bool set = false;           // unset fields are empty host values
    bool integer = false;       // an integer class (Measurement)
    std::vector<double> values; // the elements when set (six for Timestamp)
};

struct SampleRecord {
    std::vector<SampleField> fields; // every field of the structure, in its order
    std::int32_t measurement = 0;
    // year, month, day, hour, minute, second with milliseconds as its fraction
    std::array<double, 6> timestamp{};

    // The field of that name, or null.
    const SampleField* find(const std::string& name) const;
};

// Reads a structure made by the converter. Nothing when it is not a structure
// with a "Measurement"; the structure stays the caller's.
std::optional<SampleRecord> readSampleRecord(const tvArray* structure);

// "acceleration", "rotation rate", "heading", "horizontal location",
// "magnetic field", "orientation", "vertical location"; "other" for 0 and for
// codes no sensor has.
std::string measurementName(std::int32_t measurement);
// The same, short, for the status line: "accel", "gyro", "heading", "location",
// "magnet", "orient", "altitude", "other".
std::string measurementShortName(std::int32_t measurement);

// "2024-01-01T10:15:30.250": the time stamp as local ISO 8601 text, to the
// millisecond. "" when the time stamp is not a valid date.
std::string timestampText(const std::array<double, 6>& timestamp);
// "10:15:30.250".
std::string timeOfDayText(const std::array<double, 6>& timestamp);

} // namespace sensorstream
