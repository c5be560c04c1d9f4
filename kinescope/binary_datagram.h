#pragma once

#include <cstddef>
#include <cstdint>

namespace kinescope {

// Type codes of the app's binary records (the byte at offset 7).
constexpr std::uint8_t RECORD_HEADING = 0x10;
constexpr std::uint8_t RECORD_ACCELERATION = 0x20;
constexpr std::uint8_t RECORD_ROTATION_RATE = 0x30;
constexpr std::uint8_t RECORD_LOCATION = 0x40;

// The largest record; the listener's receive buffer has exactly this size.
constexpr std::size_t LARGEST_RECORD = 72;

// Offset of the type code, and of the first payload double.
constexpr std::size_t TYPE_OFFSET = 7;
constexpr std::size_t PAYLOAD_OFFSET = 16;

// The exact length of a record of that type, or 0 for an unknown type.
std::size_t recordLength(std::uint8_t type);

// The type code of a datagram, or 0 when it is too short to carry one.
std::uint8_t recordType(const std::uint8_t* data, std::size_t length);

// The little-endian IEEE-754 double at data + offset, read in place, on any host
// byte order and at any alignment.
double readDouble(const std::uint8_t* data, std::size_t offset);

} // namespace kinescope
