#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Internal to pixcore: the pixel kernels behind FrameConverter. A kernel trusts its
// arguments (the converter has checked every size); it writes every byte of the
// 3 x height x width output, nothing outside it, and reads nothing outside the
// input it is given.
//
// Each instruction-set family has its own file (frame_kernels_portable.cpp,
// frame_kernels_sse2.cpp, frame_kernels_avx2.cpp, frame_kernels_avx512.cpp, the last
// two sharing frame_kernels_256bit.h) and fills one table with a kernel per layout;
// which tables a machine may use is decided at run time (frame_kernels_select_*.cpp),
// so one build runs everywhere.

namespace webcam::kernels {

// The packed frame types of frame_types.h, as indexes of a kernel table. The packed
// RGB layouts come first, in the order of RGB_LAYOUTS.
enum Layout : unsigned {
    BGRA32_TOP_DOWN, // "BGRA32PackedRowTopDown"
    RGB24_TOP_DOWN,  // "RGB24PackedRowTopDown"
    RGB24_BOTTOM_UP, // "RGB24PackedRowBottomUp"
    YUY2,            // "YUY2PackedRowBottomUp", converted in stored row order
    LAYOUT_COUNT
};

// A packed RGB layout as the kernels read it: output pixel (r, c) takes its red,
// green and blue from the bytes at those offsets of stored pixel (r, c), or of
// stored pixel (H - 1 - r, c) when the rows are stored bottom row first.
struct RgbLayout {
    unsigned bytesPerPixel;
    unsigned red, green, blue;
    bool bottomUp;
};

// clang-format off
inline constexpr RgbLayout RGB_LAYOUTS[] = {
    // bytes per pixel, red, green, blue, bottom row first
    {4, 2, 1, 0, false}, // BGRA32_TOP_DOWN: bytes B, G, R, A
    {3, 0, 1, 2, false}, // RGB24_TOP_DOWN:  bytes R, G, B
    {3, 2, 1, 0, true},  // RGB24_BOTTOM_UP: bytes B, G, R
};
// clang-format on
static_assert(sizeof RGB_LAYOUTS / sizeof RGB_LAYOUTS[0] == YUY2, "one row per packed RGB layout");

// src: the frame of the layout, rows without padding (YUY2: ceil(height x width / 2)
// groups Y0, U, Y1, V, pixels in row-major order). dst: 3 x height x width bytes,
// planes R, G, B, each column by column. The YUY2 colour arithmetic is the exact
// integer one of reference::yuy2ToBgr.
using ToPlanarFn = void (*)(const std::uint8_t* src, std::size_t height, std::size_t width,
                            std::uint8_t* dst);

struct KernelSet {
    const char* name;
    ToPlanarFn toPlanar[LAYOUT_COUNT]; // indexed by Layout
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

} // namespace webcam::kernels
