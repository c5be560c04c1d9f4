#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Internal to pixcore: the pixel kernels behind FrameConverter. A kernel trusts its
// arguments (the converter has checked every size); it writes every byte of the
// 3 x height x width output (blocks at the right and bottom edges overlap their
// neighbours and write some bytes twice, with the same value), nothing outside it,
// and reads nothing outside the input it is given.
//
// Each instruction-set family has its own file (frame_kernels_portable.cpp,
// frame_kernels_sse2.cpp, frame_kernels_avx2.cpp, frame_kernels_avx512.cpp, the last
// two sharing frame_kernels_256bit.h); which ones a machine may run is
// decided at run time (frame_kernels_select_*.cpp), so one build runs everywhere.

namespace webcam::kernels {

// A packed layout of 3 or 4 bytes per pixel, as seen from the planar output:
// output pixel (r, c) takes its red, green and blue from the bytes at
// sourceOffset[0..2] of stored pixel (flipRows ? H - 1 - r : r,
// flipColumns ? W - 1 - c : c).
struct PackedLayout {
    unsigned bytesPerPixel;
    unsigned sourceOffset[3];
    bool flipRows;
    bool flipColumns;
};

// The layout that the reading order of convert(hasAlpha, bgrOrder, readForward,
// mirrorColumns) amounts to; see frame_reference.h for that reading order.
constexpr PackedLayout layoutForFlags(bool hasAlpha, bool bgrOrder, bool readForward,
                                      bool mirrorColumns) {
    const unsigned bytesPerPixel = hasAlpha ? 4 : 3;
    // Forward reading takes bytes 0, 1, 2 of a stored pixel; backward reading starts
    // at its last byte, so it takes bytes bpp - 1, bpp - 2, bpp - 3.
    const unsigned first = readForward ? 0 : bytesPerPixel - 1;
    const unsigned second = readForward ? 1 : bytesPerPixel - 2;
    const unsigned third = readForward ? 2 : bytesPerPixel - 3;
    // Backward reading visits the stored pixels last to first: the k-th pixel read
    // is stored at row H - 1 - k div W, column W - 1 - k mod W. Output row k div W
    // is therefore the mirrored stored row, and the columns come out mirrored unless
    // mirrorColumns turns them back; forward reading mirrors only when asked to.
    return PackedLayout{bytesPerPixel,
                        {bgrOrder ? third : first, second, bgrOrder ? first : third},
                        !readForward,
                        readForward == mirrorColumns};
}

constexpr bool operator==(const PackedLayout& a, const PackedLayout& b) {
    return a.bytesPerPixel == b.bytesPerPixel && a.sourceOffset[0] == b.sourceOffset[0] &&
           a.sourceOffset[1] == b.sourceOffset[1] && a.sourceOffset[2] == b.sourceOffset[2] &&
           a.flipRows == b.flipRows && a.flipColumns == b.flipColumns;
}

// src: height x width pixels of layout.bytesPerPixel bytes, rows without padding.
// dst: 3 x height x width bytes, planes R, G, B, each column by column.
using PackedToPlanarFn = void (*)(const PackedLayout& layout, const std::uint8_t* src,
                                  std::size_t height, std::size_t width, std::uint8_t* dst);

// src: ceil(height x width / 2) groups Y0, U, Y1, V, pixels in row-major order.
// dst: as above. The colour arithmetic is the exact integer one of
// reference::yuy2ToBgr.
using Yuy2ToPlanarFn = void (*)(const std::uint8_t* src, std::size_t height, std::size_t width,
                                std::uint8_t* dst);

struct KernelSet {
    const char* name;
    PackedToPlanarFn packedToPlanar;
    Yuy2ToPlanarFn yuy2ToPlanar;
};

// Plain C++ on any processor; cache-friendly tiles, no vector instructions.
const KernelSet& portableKernels();
// x86-64 builds only; the caller must have checked that the processor supports them.
const KernelSet& sse2Kernels();
const KernelSet& avx2Kernels();
const KernelSet& avx512Kernels(); // AVX2 code with AVX-512VL/BW registers

// The kernel sets this machine can run, slowest first; portable is always first.
std::vector<const KernelSet*> supportedKernels();
// The last of supportedKernels(), chosen once.
const KernelSet& fastestKernels();

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

} // namespace webcam::kernels
