#pragma once

#include <cstdint>
#include <optional>

namespace mobilesensor {

// The port a "PortNumber" option asks for. The value is truncated toward zero
// (50001.7 asks for 50001, -0.9 for 0). Values of -1 or less and of 65536 or more
// name no port and give nothing. NaN is not refused: it asks for port 0, the
// automatic choice, and is converted without touching an undefined conversion.
std::optional<std::uint16_t> portOptionValue(double value);

} // namespace mobilesensor
