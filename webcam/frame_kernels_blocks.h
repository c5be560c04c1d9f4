#pragma once

#include "frame_kernels.h"

#include <cstddef>
#include <cstdint>

// Internal to the vector kernels: how they walk a frame in blocks and where a block
// of a packed RGB layout is read. Blocks at the right and bottom edges overlap their
// neighbours and write some output bytes twice, with the same value.

namespace webcam::kernels {

// Tile and block sizes shared by the kernels. The output is written column by
// column, so neighbouring output bytes of one pixel row lie H bytes apart: blocks
// are visited in tiles of TILE_ROWS x TILE_COLUMNS, tiles in bands of TILE_COLUMNS
// columns from the top down, and inside a tile strip by strip (all the blocks of
// one strip of rows, left to right). A strip then reads one contiguous run of each
// of its rows, and the column runs it writes are continued by the next strip
// while they are still in cache.
inline constexpr std::size_t TILE_ROWS = 256;
inline constexpr std::size_t TILE_COLUMNS = 256;

// Calls block(row, column) for blocks of blockRows x blockColumns output pixels
// covering a height x width frame in the order described above. The last block of
// a row or column overlaps its neighbour instead of running past the edge, so the
// frame must be at least one block in each direction.
template <std::size_t blockRows, std::size_t blockColumns, class Block>
inline __attribute__((always_inline)) void forEachBlock(std::size_t height, std::size_t width,
                                                        Block&& block) {
    for (std::size_t bandStart = 0; bandStart < width; bandStart += TILE_COLUMNS) {
        const std::size_t bandEnd =
            bandStart + TILE_COLUMNS < width ? bandStart + TILE_COLUMNS : width;
        for (std::size_t tileStart = 0; tileStart < height; tileStart += TILE_ROWS) {
            const std::size_t tileEnd =
                tileStart + TILE_ROWS < height ? tileStart + TILE_ROWS : height;
            for (std::size_t r = tileStart; r < tileEnd; r += blockRows) {
                const std::size_t row = r + blockRows <= height ? r : height - blockRows;
                for (std::size_t c = bandStart; c < bandEnd; c += blockColumns) {
                    const std::size_t column = c + blockColumns <= width ? c : width - blockColumns;
                    block(row, column);
                }
            }
        }
    }
}

// The frames of one conversion, as each block of a vector kernel sees them.
struct Frame {
    const std::uint8_t* src;
    std::size_t height;
    std::size_t width;
    std::uint8_t* dst;
};

// The helpers are inlined into functions of each vector file's own instruction set,
// so they stay private to that file: with external linkage the compiler emits them
// as weak symbols of the same name in every file, and the linker would keep one of
// them for all.
namespace {

// Where a block of a packed RGB layout is read: the first byte of its first row,
// SHIFT bytes early, and the step from each of its rows to the next (negative when
// the rows are stored bottom row first).
struct BlockSource {
    const std::uint8_t* first;
    std::ptrdiff_t step;
};

template <Layout LAYOUT, unsigned SHIFT>
inline BlockSource blockSource(const Frame& f, std::size_t row, std::size_t column) {
    constexpr RgbLayout L = RGB_LAYOUTS[LAYOUT];
    const std::size_t rowBytes = f.width * L.bytesPerPixel;
    const std::size_t storedRow = L.bottomUp ? f.height - 1 - row : row;
    const std::ptrdiff_t forward = static_cast<std::ptrdiff_t>(rowBytes);
    return {f.src + storedRow * rowBytes + column * L.bytesPerPixel - SHIFT,
            L.bottomUp ? -forward : forward};
}

} // namespace

} // namespace webcam::kernels
