// The two seams that one call works through.
#pragma once

#include "host/host_interface.h"
#include "runtime/gpu_runtime.h"

namespace quarlen {

struct Call {
  HostInterface& host;
  GpuRuntime& runtime;
};

// Copies that must succeed for the result to mean anything; a failure throws "quarlen:deviceError".
void uploadOrThrow(GpuRuntime& runtime, DeviceAddress destination, const void* source, std::size_t bytes,
                   const char* what);
void downloadOrThrow(GpuRuntime& runtime, void* destination, DeviceAddress source, std::size_t bytes, const char* what);
void copyOnDeviceOrThrow(GpuRuntime& runtime, DeviceAddress destination, DeviceAddress source, std::size_t bytes,
                         const char* what);

}  // namespace quarlen
