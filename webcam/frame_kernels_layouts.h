#pragma once

#include "frame_kernels.h"

#include <cstddef>
#include <cstdint>
#include <utility>

// Internal to the vector kernels: each of the 16 flag combinations of convert as a
// compile-time layout, so that a kernel instantiated for it picks its transposed
// vectors by constant indices (and keeps them in registers).

namespace webcam::kernels {

template <unsigned FLAGS> struct FlagLayout {
    static constexpr PackedLayout LAYOUT =
        layoutForFlags((FLAGS & 8) != 0, (FLAGS & 4) != 0, (FLAGS & 2) != 0, (FLAGS & 1) != 0);
    static constexpr unsigned BYTES_PER_PIXEL = LAYOUT.bytesPerPixel;
    static constexpr unsigned RED = LAYOUT.sourceOffset[0];
    static constexpr unsigned GREEN = LAYOUT.sourceOffset[1];
    static constexpr unsigned BLUE = LAYOUT.sourceOffset[2];
    static constexpr bool FLIP_ROWS = LAYOUT.flipRows;
    static constexpr bool FLIP_COLUMNS = LAYOUT.flipColumns;
};

// The frames of one conversion, as each block of a vector kernel sees them.
struct Frame {
    const std::uint8_t* src;
    std::size_t height;
    std::size_t width;
    std::uint8_t* dst;
};

// The lookup is instantiated with each vector file's own kernel template, and the
// helpers are inlined into functions of each file's own instruction set, so they
// stay private to that file: with external linkage the compiler emits them as weak
// symbols of the same name in every file, and the linker would keep one of them
// for all.
namespace {

// The first stored column of a block of COLUMNS output columns from column on
// (output columns run right to left through the stored row when L flips them).
template <class L, std::size_t COLUMNS>
inline std::size_t storedBlockColumn(const Frame& f, std::size_t column) {
    return L::FLIP_COLUMNS ? f.width - COLUMNS - column : column;
}

// Where a block of a packed layout is read: the first byte of its first row, SHIFT
// bytes early, and the step from each of its rows to the next (negative when L
// stores the rows bottom-up).
struct BlockSource {
    const std::uint8_t* first;
    std::ptrdiff_t step;
};

template <class L, std::size_t COLUMNS, unsigned SHIFT>
inline BlockSource blockSource(const Frame& f, std::size_t row, std::size_t column) {
    const std::size_t rowBytes = f.width * L::BYTES_PER_PIXEL;
    const std::size_t storedRow = L::FLIP_ROWS ? f.height - 1 - row : row;
    const std::ptrdiff_t forward = static_cast<std::ptrdiff_t>(rowBytes);
    return {f.src + storedRow * rowBytes +
                storedBlockColumn<L, COLUMNS>(f, column) * L::BYTES_PER_PIXEL - SHIFT,
            L::FLIP_ROWS ? -forward : forward};
}

template <template <class> class KernelFor, unsigned... FLAGS>
PackedToPlanarFn findLayoutKernelIn(const PackedLayout& layout,
                                    std::integer_sequence<unsigned, FLAGS...>) {
    PackedToPlanarFn found = nullptr;
    ((found = (found == nullptr && layout == FlagLayout<FLAGS>::LAYOUT)
                  ? &KernelFor<FlagLayout<FLAGS>>::run
                  : found),
     ...);
    return found;
}

// KernelFor<L>::run for the flag layout L equal to layout, or null for a layout
// that no flag combination gives.
template <template <class> class KernelFor>
PackedToPlanarFn findLayoutKernel(const PackedLayout& layout) {
    return findLayoutKernelIn<KernelFor>(layout, std::make_integer_sequence<unsigned, 16>());
}

} // namespace

} // namespace webcam::kernels
