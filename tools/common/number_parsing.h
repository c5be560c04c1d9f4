#pragma once

// Number parsing for command-line values, with messages that say which option was
// wrong and why ("--rate: 'fast' is not a number").

#include <cstdint>
#include <string>
#include <string_view>

namespace kxtools {

// Whole text, decimal, optional sign (no leading "+" for unsigned), within
// [minimum, maximum]. Throws UsageError naming what.
std::int64_t parseInteger(std::string_view text, std::string_view what, std::int64_t minimum,
                          std::int64_t maximum);
std::uint64_t parseUnsigned(std::string_view text, std::string_view what,
                            std::uint64_t maximum = UINT64_MAX);

// Whole text, a finite decimal number within [minimum, maximum]. Throws UsageError
// naming what.
double parseReal(std::string_view text, std::string_view what, double minimum, double maximum);

} // namespace kxtools
