#pragma once

#include "frame_kernels.h"

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

// The lookup is instantiated with each vector file's own kernel template, so it
// must stay private to that file: with external linkage the compiler emits it as a
// weak symbol of the same name in every file, and the linker would keep one of
// them for all.
namespace {

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
