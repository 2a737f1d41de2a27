// The runtime interface over the CUDA runtime, for machines with an NVIDIA GPU.
#pragma once

#include <memory>

#include "runtime/gpu_runtime.h"

namespace quarlen {

// The CUDA runtime on device 0, or nullptr when no CUDA device can be used.
std::unique_ptr<GpuRuntime> makeCudaRuntime();

}  // namespace quarlen
