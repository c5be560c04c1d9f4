#include "port_number.h"

#include <cmath>

namespace mobilesensor {

std::optional<std::uint16_t> portFromDouble(double value) {
    if (std::isnan(value))
        return std::uint16_t{0};
    if (!(value > -1.0 && value < 65536.0))
        return std::nullopt;
    return static_cast<std::uint16_t>(std::trunc(value));
}

} // namespace mobilesensor
