#include "reading_record.h"

#include <array>
#include <cctype>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kx {

namespace {

// numpy's NaT.
constexpr std::int64_t NOT_A_TIME = std::numeric_limits<std::int64_t>::min();
// A field the reading does not have.
constexpr double UNSET = std::numeric_limits<double>::quiet_NaN();

using Name = std::array<char32_t, NAME_LENGTH>;

// The name of every code, as numpy's fixed-width text: padded with zeros.
const std::array<Name, kxtools::MAX_MEASUREMENT + 1>& names() {
    static const auto table = [] {
        std::array<Name, kxtools::MAX_MEASUREMENT + 1> all{};
        for (std::int32_t code = 0; code <= kxtools::MAX_MEASUREMENT; ++code) {
            const std::string text = kxtools::measurementName(code);
            if (text.size() > NAME_LENGTH)
                throw std::logic_error("measurement name longer than its column: " + text);
            for (std::size_t i = 0; i < text.size(); ++i)
                all[static_cast<std::size_t>(code)][i] = static_cast<unsigned char>(text[i]);
        }
        return all;
    }();
    return table;
}

} // namespace

std::string snakeCase(const std::string& name) {
    std::string snake;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (std::isupper(c) && i > 0)
            snake += '_';
        snake += static_cast<char>(std::tolower(c));
    }
    return snake;
}

std::vector<Column> readingColumns() {
    names(); // a name too long for its column fails here, at import
    std::vector<Column> columns = {
        {"time", "M8[ms]", offsetof(ReadingRecord, time)},
        {"monotonic", "<f8", offsetof(ReadingRecord, monotonic)},
        {"measurement", "<i4", offsetof(ReadingRecord, measurement)},
        {"measurement_name", "<U" + std::to_string(NAME_LENGTH),
         offsetof(ReadingRecord, measurementName)},
    };
    for (std::size_t i = 0; i < kxtools::DATA_FIELD_COUNT; ++i)
        columns.push_back({snakeCase(kineconvert::SAMPLE_FIELDS[kxtools::FIRST_DATA_FIELD + i]),
                           "<f8", offsetof(ReadingRecord, values) + i * sizeof(double)});
    return columns;
}

void fillRecord(const kxtools::SampleRecord& reading, double arrival, ReadingRecord& record) {
    record.time =
        reading.isSet(kxtools::TIMESTAMP_FIELD) && kxtools::validTimestamp(reading.timestamp)
            ? kxtools::calendarMilliseconds(reading.timestamp)
            : NOT_A_TIME;
    record.monotonic = arrival;
    record.measurement = reading.measurement;
    const std::int32_t code =
        reading.measurement >= 0 && reading.measurement <= kxtools::MAX_MEASUREMENT
            ? reading.measurement
            : 0;
    std::memcpy(record.measurementName, names()[static_cast<std::size_t>(code)].data(),
                sizeof record.measurementName);
    for (std::size_t i = 0; i < kxtools::DATA_FIELD_COUNT; ++i) {
        const std::size_t field = kxtools::FIRST_DATA_FIELD + i;
        record.values[i] = reading.isSet(field) ? reading.values[field] : UNSET;
    }
}

} // namespace kx
