#include "sample_reader.h"

#include "host_value.h"

#include <cmath>

namespace kxtools {

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
                hostNumbersInto(value, record.timestamp.data(), record.timestamp.size());
            record.set[field] = count && *count == record.timestamp.size();
            if (!record.isSet(field))
                record.timestamp.fill(0.0); // a part written of a time that is none
        } else {
            const auto count = hostNumbersInto(value, &record.values[field], 1);
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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

std::string measurementName(std::int32_t measurement) { return namesOf(measurement).longName; }

std::string measurementShortName(std::int32_t measurement) {
    return namesOf(measurement).shortName;
}

bool validTimestamp(const std::array<double, 6>& t) {
    for (double part : t) {
        if (!std::isfinite(part))
            return false;
    }
    return t[0] >= 0 && t[0] <= 9999 && t[1] >= 1 && t[1] <= 12 && t[2] >= 1 && t[2] <= 31 &&
           t[3] >= 0 && t[3] < 24 && t[4] >= 0 && t[4] < 60 && t[5] >= 0 && t[5] < 61;
}

std::int64_t calendarMilliseconds(const std::array<double, 6>& t) {
    const auto whole = [](double part) { return static_cast<std::int64_t>(part); };
    const std::int64_t days = daysFromCivil(whole(t[0]), whole(t[1]), whole(t[2]));
    return ((days * 24 + whole(t[3])) * 60 + whole(t[4])) * 60000 + std::llround(t[5] * 1000.0);
}

} // namespace kxtools
