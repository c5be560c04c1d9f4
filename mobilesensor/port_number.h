#pragma once

#include "kinelink_export.h"

#include <cstdint>
#include <optional>

// Port numbers arrive from the host as doubles ("PortNumber"). Converting a double
// that is NaN or out of an integer's range is undefined in C++, so every such
// conversion goes through here.

namespace mobilesensor {

// The UDP port a "PortNumber" double asks for: the value truncated toward zero
// (50001.7 gives 50001, -0.9 gives 0). NaN is not refused: it asks for port 0, the
// automatic choice. Empty for values of -1 or less and of 65536 or more, which name
// no port.
KINELINK_EXPORT std::optional<std::uint16_t> portFromDouble(double value);

} // namespace mobilesensor
