#include "datagram_encoder.h"

#include <charconv>
#include <cstring>
#include <stdexcept>

namespace phonesim {

namespace {

void appendLittleEndian(std::vector<std::uint8_t>& bytes, std::uint64_t bits, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void appendDouble(std::vector<std::uint8_t>& bytes, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendLittleEndian(bytes, bits, 8);
}

std::vector<std::uint8_t> encodeText(const Reading& reading) {
    std::string text(1, static_cast<char>(kindCode(reading.kind)));
    text += ',' + std::to_string(reading.phoneTimeMs) + ',' + std::to_string(reading.sequence);
    for (std::size_t i = 0; i < valueCount(reading.kind); ++i)
        text += ',' + formatTextValue(reading.values[i]);
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(TEXT_TERMINATOR);
    return bytes;
}

std::vector<std::uint8_t> encodeBinary(const Reading& reading) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(16 + 8 * MAX_VALUES);
    appendLittleEndian(bytes, reading.sequence & 0xFFFFFFFFu, 4);
    appendLittleEndian(bytes, 0, 3);
    bytes.push_back(kindCode(reading.kind));
    appendDouble(bytes, static_cast<double>(reading.phoneTimeMs) / 1000.0);
    for (std::size_t i = 0; i < valueCount(reading.kind); ++i)
        appendDouble(bytes, reading.values[i]);
    return bytes;
}

} // namespace

std::string formatTextValue(double value) {
    char buffer[400]; // the longest fixed-point double has a few hundred digits
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        throw std::logic_error("a double did not fit its text buffer");
    return std::string(buffer, end);
}

std::vector<std::uint8_t> encodeDatagram(const Reading& reading) {
    return appOf(reading.kind) == App::Text ? encodeText(reading) : encodeBinary(reading);
}

} // namespace phonesim
