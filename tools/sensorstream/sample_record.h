#pragma once

// Readings as sensorstream writes them: the records of the shared reader
// (tools/common/sample_reader.h) and their time stamps as text.

#include "tools/common/sample_reader.h"

#include <array>
#include <cstdint>
#include <string>

namespace sensorstream {

using kxtools::FIELD_COUNT;
using kxtools::fieldIndex;
using kxtools::MAX_MEASUREMENT;
using kxtools::MEASUREMENT_FIELD;
using kxtools::measurementName;
using kxtools::measurementShortName;
using kxtools::readSampleRecord;
using kxtools::SAMPLE_FIELD_NAMES;
using kxtools::SampleReader;
using kxtools::SampleRecord;
using kxtools::TIMESTAMP_FIELD;

// The codes in the order people think of them, motion first, then location.
constexpr std::array<std::int32_t, MAX_MEASUREMENT + 1> MEASUREMENT_DISPLAY_ORDER = {1, 2, 5, 6,
                                                                                     3, 4, 7, 0};

// "2024-01-01T10:15:30.250": the time stamp as local ISO 8601 text, to the
// millisecond, written at `at` (23 characters); returns the end of the text, or
// null (nothing written) when the time stamp is not a valid date.
char* writeTimestampText(const std::array<double, 6>& timestamp, char* at);
// The same as a text of its own, "" for no valid date.
std::string timestampText(const std::array<double, 6>& timestamp);
// "10:15:30.250".
std::string timeOfDayText(const std::array<double, 6>& timestamp);

// Writes `value` as exactly `width` decimal digits, with leading zeros (value <
// 10^width), at `at`; returns the end.
char* writeDigits(char* at, std::uint64_t value, int width);

} // namespace sensorstream
