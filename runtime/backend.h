// The runtime this module uses: chosen when the library is loaded, with the kernel module "Canny"
// registered on it, and unregistered when the library is unloaded. CUDA when it was built in and a
// device is present, else the CPU executor.
#pragma once

#include "runtime/gpu_runtime.h"

namespace quarlen {

GpuRuntime& moduleRuntime();

// Registers the module and its 13 kernels on `runtime`, in registration order.
ModuleHandle registerCannyModule(GpuRuntime& runtime);

}  // namespace quarlen
