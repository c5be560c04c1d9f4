#include "frame_reference.h"

#include <boost/shared_array.hpp>
#include <cstdint>

// The YUY2 reference, apart from convert: pixcore links in convert alone, and the
// type information of boost::shared_array would otherwise join pixcore's exports.

namespace webcam::reference {

namespace {

std::uint8_t clampToByte(std::int32_t value) {
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

} // namespace

void yuy2ToBgr(const std::uint8_t* src, std::size_t groups, std::size_t pixels, std::uint8_t* bgr) {
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint8_t* group = src + 4 * g;
        const std::int32_t d = group[1] - 128;
        const std::int32_t e = group[3] - 128;
        const std::uint8_t luma[2] = {group[0], group[2]};
        for (std::size_t half = 0; half < 2; ++half) {
            if (2 * g + half >= pixels)
                return;
            const std::int32_t c = 298 * (luma[half] - 16);
            std::uint8_t* out = bgr + 6 * g + 3 * half;
            out[0] = clampToByte((c + 516 * d + 128) >> 8);
            out[1] = clampToByte((c - 100 * d - 208 * e + 128) >> 8);
            out[2] = clampToByte((c + 409 * e + 128) >> 8);
        }
    }
}

void yuy2ToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                  std::uint8_t* dst) {
    const std::size_t pixels = height * width;
    // Held so that it goes on every way out, exceptions included.
    const boost::shared_array<std::uint8_t> intermediate(new std::uint8_t[3 * pixels]);
    yuy2ToBgr(src, (pixels + 1) / 2, pixels, intermediate.get());
    convert(intermediate.get(), height, width, 3, false, true, true, false, dst);
}

} // namespace webcam::reference
