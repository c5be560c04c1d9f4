#include "frame_kernels.h"

// x86-64: SSE2 is part of the architecture; AVX2 is used when both the processor
// and the operating system support it (__builtin_cpu_supports checks both).

namespace webcam::kernels {

std::vector<const KernelSet*> supportedKernels() {
    __builtin_cpu_init();
    std::vector<const KernelSet*> sets{&portableKernels(), &sse2Kernels()};
    if (__builtin_cpu_supports("avx2"))
        sets.push_back(&avx2Kernels());
    return sets;
}

} // namespace webcam::kernels
