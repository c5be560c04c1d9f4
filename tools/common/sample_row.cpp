#include "sample_row.h"

#include "host_value.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace kxtools {

namespace {

constexpr double UNSET = std::numeric_limits<double>::quiet_NaN();

// The first number of a numeric value; false when it holds none.
bool firstNumber(const tvArray* value, double& number) {
    if (value == nullptr)
        return false;
    // The converter's own classes first, without allocating.
    if (tvGetNumberOfElements(value) >= 1) {
        if (tvGetClassID(value) == tvDOUBLE_CLASS) {
            std::memcpy(&number, tvGetData(value), sizeof number);
            return true;
        }
        if (tvGetClassID(value) == tvINT32_CLASS) {
            std::int32_t integer = 0;
            std::memcpy(&integer, tvGetData(value), sizeof integer);
            number = integer;
            return true;
        }
    }
    const auto numbers = hostNumbers(value);
    if (!numbers || numbers->empty())
        return false;
    number = numbers->front();
    return true;
}

} // namespace

bool readSampleRow(const tvArray* structure, SampleRow& row) {
    using kineconvert::SAMPLE_FIELDS;
    if (structure == nullptr || tvGetClassID(structure) != tvSTRUCT_CLASS ||
        tvGetNumberOfElements(structure) != 1)
        return false;
    double measurement = 0;
    if (!firstNumber(tvGetField(structure, 0, SAMPLE_FIELDS[1]), measurement))
        return false;
    row.measurement = static_cast<std::int32_t>(measurement);

    row.timestamp.fill(UNSET);
    const tvArray* timestamp = tvGetField(structure, 0, SAMPLE_FIELDS[0]);
    if (timestamp != nullptr && tvGetClassID(timestamp) == tvDOUBLE_CLASS &&
        tvGetNumberOfElements(timestamp) == row.timestamp.size())
        std::memcpy(row.timestamp.data(), tvGetData(timestamp), sizeof row.timestamp);

    for (std::size_t i = 0; i < DATA_FIELD_COUNT; ++i) {
        double& value = row.values[i];
        if (!firstNumber(tvGetField(structure, 0, SAMPLE_FIELDS[FIRST_DATA_FIELD + i]), value))
            value = UNSET;
    }
    return true;
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
