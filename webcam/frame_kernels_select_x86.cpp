#include "frame_kernels.h"

// x86-64: SSE2 is part of the architecture; AVX2, and AVX-512VL with AVX-512BW, are
// used when both the processor and the operating system support them
// (__builtin_cpu_supports checks both).

namespace webcam::kernels {

std::vector<const KernelSet*> supportedKernels() {
    __builtin_cpu_init();
    std::vector<const KernelSet*> sets{&portableKernels(), &sse2Kernels()};
    if (!__builtin_cpu_supports("avx2"))
        return sets;
    sets.push_back(&avx2Kernels());
    if (__builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw"))
        sets.push_back(&avx512Kernels());
    return sets;
}

} // namespace webcam::kernels
