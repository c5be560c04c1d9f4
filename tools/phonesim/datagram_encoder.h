#pragma once

// Turns a reading into the bytes its phone app would send.
//
// Text app: one line of comma-separated fields and a terminator byte "\n":
//     <letter>,<phone time ms>,<sequence>,<value>,<value>,...\n
// The values are written in the shortest decimal form that reads back as exactly
// the same double, so a parser recovers the reading's values bit for bit.
//
// Binary app: a record of 40, 64 or 72 bytes:
//     bytes 0-3    sequence number, unsigned 32-bit little-endian (low bits)
//     bytes 4-6    zero
//     byte  7      type code 0x10, 0x20, 0x30 or 0x40
//     bytes 8-15   the phone's clock in seconds since the Unix epoch, double
//     bytes 16-    the values, little-endian IEEE-754 doubles

#include "reading.h"

#include <cstdint>
#include <string>
#include <vector>

namespace phonesim {

constexpr std::uint8_t TEXT_TERMINATOR = '\n';

std::vector<std::uint8_t> encodeDatagram(const Reading& reading);

// The shortest fixed-point text that reads back as exactly value ("nan", "inf"
// and "-inf" for the special values).
std::string formatTextValue(double value);

} // namespace phonesim
