#include "frame_mark.h"

#include <cstring>

namespace framegrab_bench {

namespace {

constexpr std::uint8_t BLACK = 16;  // studio-range luma
constexpr std::uint8_t WHITE = 235; // studio-range luma
constexpr std::uint8_t GREY_CHROMA = 128;

} // namespace

void paintMark(std::uint8_t* luma, std::size_t lumaStride, std::uint8_t* blue, std::uint8_t* red,
               std::size_t chromaStride, unsigned number) {
    for (int bit = 0; bit < MARK_BITS; ++bit) {
        const std::uint8_t level = ((number >> bit) & 1u) != 0 ? WHITE : BLACK;
        const std::size_t left = static_cast<std::size_t>(bit * MARK_BLOCK);
        for (std::size_t row = 0; row < MARK_BLOCK; ++row) {
            std::memset(luma + row * lumaStride + left, level, MARK_BLOCK);
            std::memset(blue + row * chromaStride + left / 2, GREY_CHROMA, MARK_BLOCK / 2);
            std::memset(red + row * chromaStride + left / 2, GREY_CHROMA, MARK_BLOCK / 2);
        }
    }
}

unsigned readMark(const std::uint8_t* planarRed, std::size_t height) {
    unsigned number = 0;
    for (int bit = 0; bit < MARK_BITS; ++bit) {
        // The middle of the block, far from the edges that JPEG blurs.
        const std::size_t column = static_cast<std::size_t>(bit * MARK_BLOCK + MARK_BLOCK / 2);
        const std::size_t row = MARK_BLOCK / 2;
        if (planarRed[row + column * height] > 128)
            number |= 1u << bit;
    }
    return number;
}

} // namespace framegrab_bench
