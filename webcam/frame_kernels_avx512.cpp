#include "frame_kernels.h"
#include "frame_kernels_blocks.h"

#include <immintrin.h>

// The 256-bit kernels once more, for processors with AVX-512VL and AVX-512BW: the
// same instructions, but with the 32 vector registers of the AVX-512 encoding the
// YUY2 kernel keeps its working set in registers (about a tenth faster measured).
// Chosen at run time (frame_kernels_select_x86.cpp); every function carries the
// target attribute itself.

#define PIXCORE_TARGET __attribute__((target("avx2,avx512vl,avx512bw")))

namespace webcam::kernels {
namespace {

#include "frame_kernels_256bit.h"

} // namespace

const KernelSet& avx512Kernels() {
    static const KernelSet set{"avx512vl",
                               {packedToPlanar<BGRA32_TOP_DOWN>, packedToPlanar<RGB24_TOP_DOWN>,
                                packedToPlanar<RGB24_BOTTOM_UP>, yuy2ToPlanar}};
    return set;
}

} // namespace webcam::kernels
