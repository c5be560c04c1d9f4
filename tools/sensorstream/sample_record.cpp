#include "sample_record.h"

#include <cmath>
#include <cstring>

namespace sensorstream {

namespace {

// Milliseconds of the second, rounded, so that 30.25 shows as 30.250 and not 30.249.
long millisecondsOf(double seconds) { return std::lround(seconds * 1000.0); }

} // namespace

char* writeDigits(char* at, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

char* writeTimestampText(const std::array<double, 6>& t, char* at) {
    if (!kxtools::validTimestamp(t))
        return nullptr;
    // A second of 60.9995 rounds to 61.000: two digits of seconds stay enough.
    const long ms = millisecondsOf(t[5]);
    at = writeDigits(at, static_cast<std::uint64_t>(t[0]), 4);
    *at++ = '-';
    at = writeDigits(at, static_cast<std::uint64_t>(t[1]), 2);
    *at++ = '-';
    at = writeDigits(at, static_cast<std::uint64_t>(t[2]), 2);
    *at++ = 'T';
    at = writeDigits(at, static_cast<std::uint64_t>(t[3]), 2);
    *at++ = ':';
    at = writeDigits(at, static_cast<std::uint64_t>(t[4]), 2);
    *at++ = ':';
    at = writeDigits(at, static_cast<std::uint64_t>(ms / 1000), 2);
    *at++ = '.';
    return writeDigits(at, static_cast<std::uint64_t>(ms % 1000), 3);
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
