#include "sample_record.h"

#include "tools/common/host_value.h"

#include <cmath>
#include <cstring>

namespace sensorstream {

std::size_t fieldIndex(std::string_view name) {
    for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
        if (name == SAMPLE_FIELD_NAMES[i])
            return i;
    }
    return FIELD_COUNT;
}

std::optional<double> SampleRecord::value(std::string_view name) const {
    const std::size_t field = fieldIndex(name);
    if (field == FIELD_COUNT || field == TIMESTAMP_FIELD || !isSet(field))
        return std::nullopt;
    return values[field];
}

void SampleReader::locateFields(const tvArray* structure) {
    locatedFieldCount = tvGetNumberOfFields(structure);
    fieldNumbers.fill(-1);
    for (int number = 0; number < locatedFieldCount; ++number) {
        const char* name = tvGetFieldNameByNumber(structure, number);
        const std::size_t field = name != nullptr ? fieldIndex(name) : FIELD_COUNT;
        if (field != FIELD_COUNT && fieldNumbers[field] < 0)
            fieldNumbers[field] = number;
    }
}

bool SampleReader::read(const tvArray* structure, SampleRecord& record) {
    if (structure == nullptr || tvGetClassID(structure) != tvSTRUCT_CLASS ||
        tvGetNumberOfElements(structure) != 1)
        return false;
    if (tvGetNumberOfFields(structure) != locatedFieldCount)
        locateFields(structure);
    record.set.reset();
    record.timestamp.fill(0.0);
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        if (fieldNumbers[field] < 0)
            continue;
        const tvArray* value = tvGetFieldByNumber(structure, 0, fieldNumbers[field]);
        if (field == TIMESTAMP_FIELD) {
            const auto count =
                kxtools::hostNumbersInto(value, record.timestamp.data(), record.timestamp.size());
            record.set[field] = count && *count == record.timestamp.size();
            if (!record.isSet(field))
                record.timestamp.fill(0.0); // a part written of a time that is none
        } else {
            const auto count = kxtools::hostNumbersInto(value, &record.values[field], 1);
            record.set[field] = count && *count >= 1;
        }
    }
    if (!record.isSet(MEASUREMENT_FIELD))
        return false;
    record.measurement = static_cast<std::int32_t>(record.values[MEASUREMENT_FIELD]);
    return true;
}

std::optional<SampleRecord> readSampleRecord(const tvArray* structure) {
    SampleReader reader;
    SampleRecord record;
    if (!reader.read(structure, record))
        return std::nullopt;
    return record;
}

namespace {

struct MeasurementNames {
    const char* longName;
    const char* shortName;
};

constexpr MeasurementNames NAMES[MAX_MEASUREMENT + 1] = {
    {"other", "other"},        {"acceleration", "accel"},           {"rotation rate", "gyro"},
    {"heading", "heading"},    {"horizontal location", "location"}, {"magnetic field", "magnet"},
    {"orientation", "orient"}, {"vertical location", "altitude"}};

const MeasurementNames& namesOf(std::int32_t measurement) {
    return measurement >= 0 && measurement <= MAX_MEASUREMENT ? NAMES[measurement] : NAMES[0];
}

} // namespace

std::string measurementName(std::int32_t measurement) { return namesOf(measurement).longName; }

std::string measurementShortName(std::int32_t measurement) {
    return namesOf(measurement).shortName;
}

namespace {

bool validTimestamp(const std::array<double, 6>& t) {
    for (double part : t) {
        if (!std::isfinite(part))
            return false;
    }
    return t[0] >= 0 && t[0] <= 9999 && t[1] >= 1 && t[1] <= 12 && t[2] >= 1 && t[2] <= 31 &&
           t[3] >= 0 && t[3] < 24 && t[4] >= 0 && t[4] < 60 && t[5] >= 0 && t[5] < 61;
}

// Milliseconds of the second, rounded, so that 30.25 shows as 30.250 and not 30.249.
long millisecondsOf(double seconds) { return std::lround(seconds * 1000.0); }

// value as exactly `width` decimal digits, with leading zeros (value < 10^width).
char* putDigits(char* at, long value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

} // namespace

char* writeTimestampText(const std::array<double, 6>& t, char* at) {
    if (!validTimestamp(t))
        return nullptr;
    // A second of 60.9995 rounds to 61.000: two digits of seconds stay enough.
    const long ms = millisecondsOf(t[5]);
    at = putDigits(at, static_cast<long>(t[0]), 4);
    *at++ = '-';
    at = putDigits(at, static_cast<long>(t[1]), 2);
    *at++ = '-';
    at = putDigits(at, static_cast<long>(t[2]), 2);
    *at++ = 'T';
    at = putDigits(at, static_cast<long>(t[3]), 2);
    *at++ = ':';
    at = putDigits(at, static_cast<long>(t[4]), 2);
    *at++ = ':';
    at = putDigits(at, ms / 1000, 2);
    *at++ = '.';
    return putDigits(at, ms % 1000, 3);
}

std::string timestampText(const std::array<double, 6>& t) {
    char text[24];
    char* end = writeTimestampText(t, text);
    return end != nullptr ? std::string(text, static_cast<std::size_t>(end - text)) : std::string();
}

std::string timeOfDayText(const std::array<double, 6>& t) {
    const std::string full = timestampText(t);
    return full.empty() ? "--:--:--.---" : full.substr(11);
}

} // namespace sensorstream
