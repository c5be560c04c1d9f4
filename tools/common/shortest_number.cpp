#include "shortest_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fmt/format.h>

namespace kxtools {

namespace {

// The decimal digits of `value` (at most 17), written backwards ending at `end`;
// returns where they start.
char* digitsBackwards(std::uint64_t value, char* end) {
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return end;
}

} // namespace

char* writeShortestNumber(double value, char* at) {
    if (std::signbit(value)) {
        *at++ = '-';
        value = -value;
    }
    if (value == 0.0) {
        *at++ = '0';
        return at;
    }
    // The shortest significand and its power of ten that read back as value, the
    // nearest to it of those (fmt's Dragonbox, the same choice as std::to_chars).
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    std::uint64_t significand = decimal.significand;
    int exponent = decimal.exponent;
    while (significand % 10 == 0) {
        significand /= 10;
        ++exponent;
    }
    char digitRoom[20];
    char* const digitsEnd = digitRoom + sizeof digitRoom;
    const char* digits = digitsBackwards(significand, digitsEnd);
    const int count = static_cast<int>(digitsEnd - digits);
    // value = 0.<digits> * 10^point
    const int point = count + exponent;

    // Scientific: d[.ddd]e+XX, the exponent of at least two digits.
    const int scientificExponent = point - 1;
    const int exponentDigits = std::abs(scientificExponent) >= 100 ? 3 : 2;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + exponentDigits;
    int fixedLength = 0;
    if (exponent >= 0)
        fixedLength = point; // the digits, then zeros
    else if (point > 0)
        fixedLength = count + 1; // a point among the digits
    else
        fixedLength = 2 - point + count; // "0.", zeros, the digits

    if (fixedLength <= scientificLength) {
        // Past 2^53 the standard writes a whole number with all the digits of its
        // exact value, not the shortest digits followed by zeros.
        if (exponent > 0 && value >= 9007199254740992.0)
            return std::to_chars(at, at + 31, value).ptr;
        if (exponent >= 0) {
            std::memcpy(at, digits, static_cast<std::size_t>(count));
            std::memset(at + count, '0', static_cast<std::size_t>(exponent));
            return at + point;
        }
        if (point > 0) {
            std::memcpy(at, digits, static_cast<std::size_t>(point));
            at[point] = '.';
            std::memcpy(at + point + 1, digits + point, static_cast<std::size_t>(count - point));
            return at + count + 1;
        }
        *at++ = '0';
        *at++ = '.';
        std::memset(at, '0', static_cast<std::size_t>(-point));
        at += -point;
        std::memcpy(at, digits, static_cast<std::size_t>(count));
        return at + count;
    }
    *at++ = digits[0];
    if (count > 1) {
        *at++ = '.';
        std::memcpy(at, digits + 1, static_cast<std::size_t>(count - 1));
        at += count - 1;
    }
    *at++ = 'e';
    *at++ = scientificExponent < 0 ? '-' : '+';
    const int magnitude = std::abs(scientificExponent);
    if (exponentDigits == 3)
        *at++ = static_cast<char>('0' + magnitude / 100);
    *at++ = static_cast<char>('0' + magnitude / 10 % 10);
    *at++ = static_cast<char>('0' + magnitude % 10);
    return at;
}

} // namespace kxtools
