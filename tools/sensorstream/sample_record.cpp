#include "sample_record.h"

#include "tools/common/host_value.h"

#include <cmath>
#include <cstdio>

namespace sensorstream {

const SampleField* SampleRecord::find(const std::string& name) const {
    for (const auto& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

std::optional<SampleRecord> readSampleRecord(const tvArray* structure) {
    if (structure == nullptr || tvGetClassID(structure) != tvSTRUCT_CLASS ||
        tvGetNumberOfElements(structure) != 1)
        return std::nullopt;
    SampleRecord record;
    bool hasMeasurement = false;
    const int count = tvGetNumberOfFields(structure);
    for (int i = 0; i < count; ++i) {
        const char* name = tvGetFieldNameByNumber(structure, i);
        if (name == nullptr)
            continue;
        SampleField field;
        field.name = name;
        const tvArray* value = tvGetField(structure, 0, name);
        if (auto numbers = kxtools::hostNumbers(value); numbers && !numbers->empty()) {
            field.set = true;
            field.values = std::move(*numbers);
            const tvClassID classID = tvGetClassID(value);
            field.integer = classID != tvDOUBLE_CLASS && classID != tvSINGLE_CLASS;
        }
        if (field.name == "Measurement" && field.set) {
            hasMeasurement = true;
            record.measurement = static_cast<std::int32_t>(field.values.front());
        }
        if (field.name == "Timestamp" && field.values.size() == record.timestamp.size()) {
            for (std::size_t k = 0; k < record.timestamp.size(); ++k)
                record.timestamp[k] = field.values[k];
        }
        record.fields.push_back(std::move(field));
    }
    if (!hasMeasurement)
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

} // namespace

std::string timestampText(const std::array<double, 6>& t) {
    if (!validTimestamp(t))
        return "";
    const long ms = millisecondsOf(t[5]);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02ld.%03ld", static_cast<int>(t[0]),
                  static_cast<int>(t[1]), static_cast<int>(t[2]), static_cast<int>(t[3]),
                  static_cast<int>(t[4]), ms / 1000, ms % 1000);
    return text;
}

std::string timeOfDayText(const std::array<double, 6>& t) {
    const std::string full = timestampText(t);
    return full.empty() ? "--:--:--.---" : full.substr(11);
}

} // namespace sensorstream
