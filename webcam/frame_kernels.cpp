#include "frame_kernels.h"

namespace webcam::kernels {

const KernelSet& fastestKernels() {
    static const KernelSet* const fastest = supportedKernels().back();
    return *fastest;
}

} // namespace webcam::kernels
