#pragma once

// A sensor reading as the converter hands it to the host: a 1-by-1 structure with
// the 18 fields the converter names, read back through the host array API into a
// record of plain numbers. Reading a structure allocates nothing: a fast stream
// reads tens of thousands a second. sensorstream and the Python module read
// readings this way.

#include "conduit/tvarray/tv_array.h"
#include "kineconvert/sample_fields.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kxtools {

// The fields of every structure, in the converter's order.
constexpr auto SAMPLE_FIELD_NAMES = kineconvert::SAMPLE_FIELDS;
constexpr std::size_t FIELD_COUNT = SAMPLE_FIELD_NAMES.size();
constexpr std::size_t TIMESTAMP_FIELD = 0;
constexpr std::size_t MEASUREMENT_FIELD = 1;
// The fields after "Timestamp" and "Measurement": the sensors' data.
constexpr std::size_t FIRST_DATA_FIELD = 2;
constexpr std::size_t DATA_FIELD_COUNT = FIELD_COUNT - FIRST_DATA_FIELD;

// "Measurement" codes, 0 for a sample of no known sensor.
constexpr std::int32_t MAX_MEASUREMENT = kineconvert::VERTICAL_LOCATION;

// One reading. What the structure sets is marked in `set`, by the field's place in
// SAMPLE_FIELD_NAMES: "Timestamp" when it holds the six parts of a time, the others
// when they hold a number (the first, should one hold several).
struct SampleRecord {
    std::bitset<FIELD_COUNT> set;
    // year, month, day, hour, minute, second with milliseconds as its fraction
    std::array<double, 6> timestamp{};
    std::int32_t measurement = 0;
    std::array<double, FIELD_COUNT> values{}; // of the set fields after "Timestamp"
    // The name of the phone the reading came from, for a program of several phones
    // (the reader leaves it); the text belongs to the program's list of phones,
    // which outlives every record.
    std::string_view phone;
    // When its datagram arrived in the program (the program sets it; the reader
    // leaves it): seconds on the monotonic clock that frames share
    // (tools/arrivals/monotonic_clock.h), next to the phone's own wall-clock
    // "Timestamp". What else a reading comes to carry belongs here too: the formats
    // and the live table read records, not structures.
    double monotonic = 0.0;

    bool isSet(std::size_t field) const { return set.test(field); }
    // The number of a set field, by name; nothing when unset or not a field.
    std::optional<double> value(std::string_view name) const;
};

// The place of a field in SAMPLE_FIELD_NAMES, or FIELD_COUNT for no such field.
std::size_t fieldIndex(std::string_view name);

// Reads the converter's structures. A converter makes every structure with the same
// fields in the same order, so the reader finds by name where each field is in the
// first structure it reads and from then on reads the fields by number; it looks
// again only when a structure has another number of fields.
class SampleReader {
public:
    // Reads a structure into record; false (record unspecified) when it is not a
    // 1-by-1 structure with a numeric "Measurement". The structure stays the caller's.
    bool read(const tvArray* structure, SampleRecord& record);

private:
    void locateFields(const tvArray* structure);

    int locatedFieldCount = -1;                  // of the structure the places came from
    std::array<int, FIELD_COUNT> fieldNumbers{}; // in the structure; -1 for a field it lacks
};

// One structure read by a reader of its own.
std::optional<SampleRecord> readSampleRecord(const tvArray* structure);

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
