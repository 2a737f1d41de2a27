// The seam between the host code and whatever runs the kernels: a GPU through the CUDA runtime, or
// the CPU executor. Device memory is named by 32-bit device addresses, and a launch follows the
// runtime's three-step protocol: configure, set up the arguments at their offsets in the parameter
// block, launch by kernel key. Every operation returns 0 on success and a nonzero code otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kernels/module.h"

namespace quarlen {

using DeviceAddress = std::uint32_t;  // 0 is the null address
using ModuleHandle = std::uint32_t;

struct Dim3 {
  unsigned x = 1;
  unsigned y = 1;
  unsigned z = 1;
  friend bool operator==(const Dim3&, const Dim3&) = default;
};

inline constexpr std::size_t PARAMETER_BLOCK_BYTES = 256;

enum RuntimeStatus : int {
  runtimeSuccess = 0,
  runtimeInvalidValue = 1,
  runtimeMemoryAllocation = 2,
  runtimeInvalidConfiguration = 9,
  runtimeInvalidDeviceFunction = 98,
  runtimeNoDevice = 100,
};

class GpuRuntime {
 public:
  virtual ~GpuRuntime() = default;

  virtual const char* name() const = 0;

  virtual int setDevice(int device) = 0;
  // Device memory. The CPU executor and this module's CUDA runtime both hand out memory that is
  // 256-byte aligned; clear() sets bytes to 0.
  virtual int malloc(DeviceAddress* slot, std::size_t bytes) = 0;
  virtual int free(DeviceAddress address) = 0;
  virtual int clear(DeviceAddress address, std::size_t bytes) = 0;

  // The three kinds of copy. Each is complete on return, after every earlier launch.
  virtual int copyHostToDevice(DeviceAddress destination, const void* source, std::size_t bytes) = 0;
  virtual int copyDeviceToHost(void* destination, DeviceAddress source, std::size_t bytes) = 0;
  virtual int copyDeviceToDevice(DeviceAddress destination, DeviceAddress source, std::size_t bytes) = 0;

  // The launch protocol.
  virtual int configureCall(Dim3 grid, Dim3 block, std::size_t sharedBytes, int stream) = 0;
  virtual int setupArgument(const void* argument, std::size_t size, std::size_t offset) = 0;
  virtual int launch(KernelId key) = 0;
  virtual int synchronize() = 0;

  // The module registry.
  virtual ModuleHandle registerModule(const char* moduleName) = 0;
  virtual int registerFunction(ModuleHandle module, KernelId key, const char* kernelName) = 0;
  virtual void unregisterModule(ModuleHandle module) = 0;
  virtual std::vector<std::string> registeredKernels() const = 0;
};

}  // namespace quarlen
