#include "frame_kernels.h"
#include "frame_kernels_blocks.h"

#include <immintrin.h>

// AVX2 kernels, used only when the processor supports AVX2 (frame_kernels_select_x86.cpp).
// Every function that uses AVX2 carries the target attribute itself, so that the
// rest of the library, and anything inlined from shared headers, stays plain
// x86-64 code.

#define PIXCORE_TARGET __attribute__((target("avx2")))

namespace webcam::kernels {
namespace {

#include "frame_kernels_256bit.h"

} // namespace

const KernelSet& avx2Kernels() {
    static const KernelSet set{"avx2",
                               {packedToPlanar<BGRA32_TOP_DOWN>, packedToPlanar<RGB24_TOP_DOWN>,
                                packedToPlanar<RGB24_BOTTOM_UP>, yuy2ToPlanar}};
    return set;
}

} // namespace webcam::kernels
