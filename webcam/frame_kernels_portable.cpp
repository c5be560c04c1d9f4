#include "frame_kernels.h"

#include <algorithm>
#include <cstdint>

// Plain C++ kernels for every processor. Pixels are visited in small square tiles:
// the rows of a tile are read in storage order while the columns they write (one
// byte per pixel and plane, H bytes apart) stay in the first-level cache.

namespace webcam::kernels {
namespace {

constexpr std::size_t TILE = 64;

std::uint8_t clampToByte(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

template <Layout LAYOUT>
void packedToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                    std::uint8_t* dst) {
    constexpr RgbLayout L = RGB_LAYOUTS[LAYOUT];
    const std::size_t pixels = height * width;
    const std::size_t rowBytes = width * L.bytesPerPixel;
    std::uint8_t* const redPlane = dst;
    std::uint8_t* const greenPlane = dst + pixels;
    std::uint8_t* const bluePlane = dst + 2 * pixels;

    for (std::size_t c0 = 0; c0 < width; c0 += TILE) {
        const std::size_t c1 = std::min(c0 + TILE, width);
        for (std::size_t r0 = 0; r0 < height; r0 += TILE) {
            const std::size_t r1 = std::min(r0 + TILE, height);
            for (std::size_t r = r0; r < r1; ++r) {
                const std::uint8_t* row = src + (L.bottomUp ? height - 1 - r : r) * rowBytes;
                for (std::size_t c = c0; c < c1; ++c) {
                    const std::uint8_t* pixel = row + c * L.bytesPerPixel;
                    const std::size_t at = c * height + r;
                    redPlane[at] = pixel[L.red];
                    greenPlane[at] = pixel[L.green];
                    bluePlane[at] = pixel[L.blue];
                }
            }
        }
    }
}

void yuy2ToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                  std::uint8_t* dst) {
    const std::size_t pixels = height * width;
    std::uint8_t* const redPlane = dst;
    std::uint8_t* const greenPlane = dst + pixels;
    std::uint8_t* const bluePlane = dst + 2 * pixels;

    for (std::size_t c0 = 0; c0 < width; c0 += TILE) {
        const std::size_t c1 = std::min(c0 + TILE, width);
        for (std::size_t r0 = 0; r0 < height; r0 += TILE) {
            const std::size_t r1 = std::min(r0 + TILE, height);
            for (std::size_t r = r0; r < r1; ++r) {
                for (std::size_t c = c0; c < c1; ++c) {
                    // Pixel k's luma is byte 2k; its pair's chroma follows the pair's
                    // first luma and second luma.
                    const std::size_t k = r * width + c;
                    const std::uint8_t* group = src + 4 * (k / 2);
                    const std::int32_t luma = 298 * (src[2 * k] - 16);
                    const std::int32_t d = group[1] - 128;
                    const std::int32_t e = group[3] - 128;
                    const std::size_t at = c * height + r;
                    bluePlane[at] = clampToByte((luma + 516 * d + 128) >> 8);
                    greenPlane[at] = clampToByte((luma - 100 * d - 208 * e + 128) >> 8);
                    redPlane[at] = clampToByte((luma + 409 * e + 128) >> 8);
                }
            }
        }
    }
}

} // namespace

const KernelSet& portableKernels() {
    static const KernelSet set{"portable",
                               {packedToPlanar<BGRA32_TOP_DOWN>, packedToPlanar<RGB24_TOP_DOWN>,
                                packedToPlanar<RGB24_BOTTOM_UP>, yuy2ToPlanar}};
    return set;
}

} // namespace webcam::kernels
