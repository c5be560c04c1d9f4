#pragma once

#include <string_view>

namespace kinedgram {

// Converts one trimmed field of a text datagram to a double. The whole field must
// be a number: an optional sign and a decimal floating-point number (12, -0.5,
// .5, 5., 1e-3; no hexadecimal, no blanks, nothing after it), or one of the
// spellings nan, NAN, inf, INF, infinity, INFINITY with an optional sign (a NaN
// may carry a parenthesised tail: nan(1)), or exactly NaN. Other mixed-case
// spellings fail. Values too large for a double are rejected; values too small
// become zero or a subnormal.
bool parseNumber(std::string_view field, double& value);

} // namespace kinedgram
