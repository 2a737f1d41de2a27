// How the CPU executor runs each kernel of the module from a parameter block.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/gpu_runtime.h"

namespace quarlen::cpu {

class CpuExecutor;

struct CpuKernelEntry {
  // Unpacks the parameters and runs the grid; false, with nothing run, when a device address in the
  // parameters names no live allocation.
  bool (*run)(CpuExecutor& executor, Dim3 grid, const std::byte* params);
  std::string (*format)(const std::byte* params);
};

const CpuKernelEntry& cpuKernel(KernelId id);

}  // namespace quarlen::cpu
