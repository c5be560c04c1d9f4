#pragma once

// A frame's number painted into its picture, so that it can be read back after
// JPEG encoding, decoding and every conversion: eight 64x64 blocks along the top
// left, black for 0 and white for 1, aligned to JPEG's blocks.

#include <cstddef>
#include <cstdint>

namespace framegrab_bench {

constexpr int MARK_BITS = 8;
constexpr int MARK_BLOCK = 64;

// Paints number (0 to 255) into a planar YUV frame: luma rows and chroma rows of
// Y42B (chroma at half the width, full height).
void paintMark(std::uint8_t* luma, std::size_t lumaStride, std::uint8_t* blue, std::uint8_t* red,
               std::size_t chromaStride, unsigned number);

// The number read from the red plane of a planar, column-by-column frame
// ("RGB24PlanarColumn": pixel (r, c) at r + c * height).
unsigned readMark(const std::uint8_t* planarRed, std::size_t height);

} // namespace framegrab_bench
