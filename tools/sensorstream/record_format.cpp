#include "record_format.h"

#include "tools/common/host_value.h"
#include "tools/common/json_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace sensorstream {

namespace {

using kxtools::appendJsonString;

// A line (after the phone's name, appended first) is made in a buffer on the stack
// and appended whole: numbers written in place. Room for the longest line of either
// format.
constexpr std::size_t LINE_ROOM = 2048;
// "Monotonic": seconds since the computer started, to the microsecond.
constexpr int MONOTONIC_ROOM = 32;

constexpr std::size_t namesLength() {
    std::size_t length = 0;
    for (const char* name : SAMPLE_FIELD_NAMES)
        length += std::char_traits<char>::length(name);
    return length;
}

// Every member's name quoted with its separator and colon (",\"X\":", six characters
// beyond the name at most), six numbers in brackets, every other a quoted number.
static_assert(14 + MONOTONIC_ROOM + namesLength() + 6 * FIELD_COUNT +
                      6 * (kxtools::MAX_NUMBER_TEXT + 1) + 1 +
                      (FIELD_COUNT - 1) * (kxtools::MAX_NUMBER_TEXT + 2) + 2 <=
                  LINE_ROOM,
              "a JSON line fits");
static_assert(1 + MONOTONIC_ROOM + 6 * (kxtools::MAX_NUMBER_TEXT + 1) + 1 +
                      (FIELD_COUNT - 1) * (kxtools::MAX_NUMBER_TEXT + 1) + 1 <=
                  LINE_ROOM,
              "a CSV line fits");

char* put(char* at, std::string_view text) { return std::copy(text.begin(), text.end(), at); }

char* putJsonNumber(double value, char* at) {
    if (std::isfinite(value))
        return kxtools::writeNumberText(value, at);
    *at = '"';
    at = kxtools::writeNumberText(value, at + 1); // NaN, Inf, -Inf: nothing to escape
    *at = '"';
    return at + 1;
}

// The monotonic time to the microsecond, as the recordings of datagrams write it
// ("%.6f"). Nearly always from the count of microseconds: seconds times a million
// is off the exact product by far less than 1/256 below 2^44 microseconds (203
// days), so unless the product lies that close to a half, it rounds to the same
// whole number as the exact value would. Otherwise std::to_chars rounds the exact
// value, at several times the cost; a value too long for the room (no clock runs
// that long) is cut as printf cuts it.
char* putMonotonic(double seconds, char* at) {
    constexpr double MICROSECONDS_LIMIT = 17592186044416.0; // 2^44
    constexpr double NEAR_HALF = 1.0 / 256;
    const double micro = seconds * 1e6;
    if (micro >= 0.0 && micro < MICROSECONDS_LIMIT) {
        const double whole = std::floor(micro);
        const double fraction = micro - whole;
        if (std::fabs(fraction - 0.5) > NEAR_HALF) {
            const auto count = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
            at = std::to_chars(at, at + MONOTONIC_ROOM, count / 1000000).ptr;
            *at++ = '.';
            return writeDigits(at, count % 1000000, 6);
        }
    }
    const auto written =
        std::to_chars(at, at + MONOTONIC_ROOM - 1, seconds, std::chars_format::fixed, 6);
    if (written.ec == std::errc())
        return written.ptr;
    const int cut = std::snprintf(at, MONOTONIC_ROOM, "%.6f", seconds);
    return at + std::min(std::max(cut, 0), MONOTONIC_ROOM - 1);
}

// Quotes a CSV cell only when it needs it.
std::string csvCell(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::unique_ptr<RecordFormat> makeRecordFormat(Format format, std::size_t phoneNameWidth) {
    switch (format) {
    case Format::Csv:
        return std::make_unique<CsvFormat>();
    case Format::Table:
        return std::make_unique<TableFormat>(phoneNameWidth);
    case Format::Json:
        break;
    }
    return std::make_unique<JsonFormat>();
}

JsonFormat::JsonFormat() {
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        std::string& start = memberStarts[field];
        start = ",";
        appendJsonString(SAMPLE_FIELD_NAMES[field], start);
        start += ':';
        nullsFrom[field] = allNulls.size();
        allNulls += start + "null";
    }
    nullsFrom[FIELD_COUNT] = allNulls.size();
}

void JsonFormat::append(const SampleRecord& record, std::string& out) const {
    out += "{\"Phone\":";
    appendJsonString(record.phone, out);
    char line[LINE_ROOM];
    char* at = put(line, ",\"Monotonic\":");
    at = putMonotonic(record.monotonic, at);
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        if (!record.isSet(field)) {
            // A run of unset fields is one piece of the prebuilt text.
            std::size_t end = field + 1;
            while (end < FIELD_COUNT && !record.isSet(end))
                ++end;
            at = put(at, std::string_view(allNulls).substr(nullsFrom[field],
                                                           nullsFrom[end] - nullsFrom[field]));
            field = end - 1;
            continue;
        }
        at = put(at, memberStarts[field]);
        if (field == TIMESTAMP_FIELD) {
            for (std::size_t i = 0; i < record.timestamp.size(); ++i) {
                *at++ = i == 0 ? '[' : ',';
                at = putJsonNumber(record.timestamp[i], at);
            }
            *at++ = ']';
        } else {
            at = putJsonNumber(record.values[field], at);
        }
    }
    at = put(at, "}\n");
    out.append(line, at);
}

std::string CsvFormat::header() const {
    std::string line = "Phone,Monotonic";
    for (std::size_t i = 0; i < FIELD_COUNT; ++i)
        line += "," + csvCell(SAMPLE_FIELD_NAMES[i]);
    return line + "\n";
}

// Numbers and time stamps hold no comma, quote or line break: no cell but the
// phone's name needs quotes.
void CsvFormat::append(const SampleRecord& record, std::string& out) const {
    out += csvCell(record.phone);
    char line[LINE_ROOM];
    char* at = line;
    *at++ = ',';
    at = putMonotonic(record.monotonic, at);
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        *at++ = ',';
        if (!record.isSet(field))
            continue;
        if (field != TIMESTAMP_FIELD) {
            at = kxtools::writeNumberText(record.values[field], at);
        } else if (char* end = writeTimestampText(record.timestamp, at)) {
            at = end;
        } else {
            // A time stamp that is no date: its six numbers.
            for (std::size_t i = 0; i < record.timestamp.size(); ++i) {
                if (i != 0)
                    *at++ = ' ';
                at = kxtools::writeNumberText(record.timestamp[i], at);
            }
        }
    }
    *at++ = '\n';
    out.append(line, at);
}

std::string jsonLine(const SampleRecord& record) {
    static const JsonFormat format;
    std::string line;
    format.append(record, line);
    return line;
}

std::string csvHeader() { return CsvFormat().header(); }

std::string csvLine(const SampleRecord& record) {
    std::string line;
    CsvFormat().append(record, line);
    return line;
}

std::string tableHeader() { return TableFormat().header(); }

std::string tableLine(const SampleRecord& record) {
    std::string line;
    TableFormat().append(record, line);
    return line;
}

std::string readableNumber(double value) {
    if (!std::isfinite(value))
        return kxtools::numberText(value);
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

namespace {

constexpr int TIME_WIDTH = 12;
constexpr int MEASUREMENT_WIDTH = 19;

} // namespace

TableFormat::TableFormat(std::size_t phoneNameWidth)
    : phoneWidth(std::max<std::size_t>(phoneNameWidth, 5)) {}

std::string TableFormat::header() const {
    char line[128];
    std::snprintf(line, sizeof line, "  %-*s  %-*s  %s\n", TIME_WIDTH, "time", MEASUREMENT_WIDTH,
                  "measurement", "values");
    return "phone" + std::string(phoneWidth - 5, ' ') + line;
}

void TableFormat::append(const SampleRecord& record, std::string& out) const {
    out += record.phone;
    out.append(phoneWidth > record.phone.size() ? phoneWidth - record.phone.size() : 0, ' ');
    char start[96];
    std::snprintf(start, sizeof start, "  %-*s  %-*s", TIME_WIDTH,
                  timeOfDayText(record.timestamp).c_str(), MEASUREMENT_WIDTH,
                  measurementName(record.measurement).c_str());
    out += start;
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        if (!record.isSet(field) || field == TIMESTAMP_FIELD || field == MEASUREMENT_FIELD)
            continue;
        out += "  ";
        out += SAMPLE_FIELD_NAMES[field];
        out += ' ';
        out += readableNumber(record.values[field]);
    }
    out += '\n';
}

} // namespace sensorstream
