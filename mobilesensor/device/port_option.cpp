#include "port_option.h"

#include "mobilesensor/port_number.h"

#include <cmath>

namespace mobilesensor {

std::optional<std::uint16_t> portOptionValue(double value) {
    if (std::isnan(value))
        return std::uint16_t{0};
    return portFromDouble(value);
}

} // namespace mobilesensor
