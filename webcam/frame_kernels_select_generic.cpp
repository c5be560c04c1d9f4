#include "frame_kernels.h"

// Processors other than x86-64 use the portable kernels.

namespace webcam::kernels {

std::vector<const KernelSet*> supportedKernels() { return {&portableKernels()}; }

} // namespace webcam::kernels
