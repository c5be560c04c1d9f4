#include "load_scale.h"

#include <cmath>
#include <cstdlib>

namespace reliability {

double loadScale() {
    if (const char* text = std::getenv("KX_LOAD_SCALE")) {
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        if (end != text && *end == '\0' && value > 0.0 && std::isfinite(value))
            return value;
    }
    return 1.0;
}

std::uint64_t scaled(std::uint64_t full) {
    const double value = std::ceil(static_cast<double>(full) * loadScale());
    return value < 1.0 ? 1 : static_cast<std::uint64_t>(value);
}

} // namespace reliability
