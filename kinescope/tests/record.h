#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

// Binary records as the app sends them, for the tests: bytes 0 to 6 and 8 to 15
// filled with a pattern the device must not read, the type code at 7, and the
// payload doubles little-endian from byte 16.

namespace kinescope_test {

inline void putDouble(std::vector<std::uint8_t>& bytes, std::size_t offset, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// A record of the given type with the payload; length 0 means 16 + 8 per double,
// another length cuts or pads (with zeros) the record.
inline std::vector<std::uint8_t> record(std::uint8_t type, std::initializer_list<double> payload,
                                        std::size_t length = 0) {
    std::vector<std::uint8_t> bytes(16 + 8 * payload.size(), 0xA5);
    bytes[7] = type;
    std::size_t offset = 16;
    for (const double value : payload) {
        putDouble(bytes, offset, value);
        offset += 8;
    }
    if (length != 0)
        bytes.resize(length, 0);
    return bytes;
}

} // namespace kinescope_test
