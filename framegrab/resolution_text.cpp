#include "resolution_text.h"

#include <cstdio>
#include <limits>

namespace framegrab {

namespace {

int truncated(double value) {
    if (!(value == value))
        return 0;
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

} // namespace

std::string formatResolution(double width, double height) {
    char text[32];
    std::snprintf(text, sizeof text, "%ix%i", truncated(width), truncated(height));
    return text;
}

} // namespace framegrab
