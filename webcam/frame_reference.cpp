#include "frame_reference.h"

#include <cstdint>

namespace webcam::reference {

void convert(const std::uint8_t* src, std::size_t height, std::size_t width,
             std::size_t bytesPerPixel, bool hasAlpha, bool bgrOrder, bool readForward,
             bool mirrorColumns, std::uint8_t* dst) {
    const std::size_t pixels = height * width;
    const std::ptrdiff_t direction = readForward ? 1 : -1;
    const std::ptrdiff_t start =
        readForward ? 0 : static_cast<std::ptrdiff_t>(pixels * bytesPerPixel) - 1;
    const std::ptrdiff_t stride = direction * (hasAlpha ? 4 : 3);
    const std::size_t firstPlane = bgrOrder ? 2 : 0;
    const std::size_t thirdPlane = bgrOrder ? 0 : 2;

    for (std::size_t k = 0; k < pixels; ++k) {
        const std::size_t row = k / width;
        const std::size_t j = k % width;
        const std::size_t column = mirrorColumns ? width - 1 - j : j;
        const std::ptrdiff_t p = start + static_cast<std::ptrdiff_t>(k) * stride;
        const std::size_t at = column * height + row;
        dst[firstPlane * pixels + at] = src[p];
        dst[1 * pixels + at] = src[p + direction];
        dst[thirdPlane * pixels + at] = src[p + 2 * direction];
    }
}

} // namespace webcam::reference
