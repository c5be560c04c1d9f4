#include "binary_datagram.h"

#include <cstring>

namespace kinescope {

std::size_t recordLength(std::uint8_t type) {
    switch (type) {
    case RECORD_HEADING:
        return 64;
    case RECORD_ACCELERATION:
    case RECORD_ROTATION_RATE:
        return 40;
    case RECORD_LOCATION:
        return 72;
    default:
        return 0;
    }
}

std::uint8_t recordType(const std::uint8_t* data, std::size_t length) {
    return data != nullptr && length > TYPE_OFFSET ? data[TYPE_OFFSET] : 0;
}

double readDouble(const std::uint8_t* data, std::size_t offset) {
    // Assemble the integer from its bytes, least significant first: right on big-
    // and little-endian hosts alike, and the compiler makes it one load on x86.
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(data[offset + i]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace kinescope
