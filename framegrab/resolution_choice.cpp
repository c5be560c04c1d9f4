#include "resolution_choice.h"

#include <cmath>

namespace framegrab {

bool isKnownResolution(const Resolution& resolution) {
    return resolution.width >= 1 && resolution.height >= 1 && std::isfinite(resolution.width) &&
           std::isfinite(resolution.height);
}

Resolution chooseResolution(const Resolution& port, const Resolution& firstFrame) {
    if (isKnownResolution(firstFrame))
        return firstFrame;
    if (isKnownResolution(port))
        return port;
    return Resolution();
}

} // namespace framegrab
