#include "reading_message.h"

#include "tools/common/host_value.h"
#include "tools/common/json_text.h"

#include <cmath>
#include <cstdint>

namespace sensorview {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (Howard
// Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned marchBased = month > 2 ? month - 3 : month + 9; // March is 0
    const unsigned dayOfYear = (153 * marchBased + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void appendNumber(double value, std::string& out) {
    if (std::isfinite(value))
        out += kxtools::numberText(value);
    else
        out += "null";
}

// The time stamp and the measurement are the reading's own places in the message.
bool isOwnField(std::size_t field) {
    return field != sensorstream::TIMESTAMP_FIELD && field != sensorstream::MEASUREMENT_FIELD;
}

} // namespace

std::optional<double> wallClockMilliseconds(const std::array<double, 6>& t) {
    for (double part : t) {
        if (!std::isfinite(part))
            return std::nullopt;
    }
    if (t[0] < 1 || t[0] > 9999 || t[1] < 1 || t[1] > 12 || t[2] < 1 || t[2] > 31 || t[3] < 0 ||
        t[3] >= 24 || t[4] < 0 || t[4] >= 60 || t[5] < 0 || t[5] >= 61)
        return std::nullopt;
    const auto days = daysFromCivil(static_cast<std::int64_t>(t[0]), static_cast<unsigned>(t[1]),
                                    static_cast<unsigned>(t[2]));
    const double seconds =
        static_cast<double>(days) * 86400.0 + std::floor(t[3]) * 3600.0 + std::floor(t[4]) * 60.0;
    // The second's fraction carries the milliseconds; rounding keeps 30.25 at 250.
    return seconds * 1000.0 + std::round(t[5] * 1000.0);
}

ReadingMessage::ReadingMessage(const std::string& phone) {
    head = R"({"type":"readings","phone":)";
    kxtools::appendJsonString(phone, head);
    head += R"(,"r":[)";
    text = head;
}

void ReadingMessage::add(const sensorstream::SampleRecord& record) {
    const auto time = wallClockMilliseconds(record.timestamp);
    if (readings > 0)
        text += ',';
    text += '[';
    text += std::to_string(record.measurement);
    text += ',';
    appendNumber(time ? *time : NAN, text);
    text += ",{";
    bool first = true;
    for (std::size_t field = 0; field < sensorstream::FIELD_COUNT; ++field) {
        if (!record.isSet(field) || !isOwnField(field))
            continue;
        if (!first)
            text += ',';
        first = false;
        kxtools::appendJsonString(sensorstream::SAMPLE_FIELD_NAMES[field], text);
        text += ':';
        appendNumber(record.values[field], text);
    }
    text += "}]";
    ++readings;
}

std::string ReadingMessage::take() {
    std::string message = std::move(text);
    message += "]}";
    text = head;
    readings = 0;
    return message;
}

} // namespace sensorview
