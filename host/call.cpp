#include "host/call.h"

#include <string>

#include "host/errors.h"

namespace quarlen {

void uploadOrThrow(GpuRuntime& runtime, DeviceAddress destination, const void* source, std::size_t bytes,
                   const char* what) {
  if (runtime.copyHostToDevice(destination, source, bytes) != runtimeSuccess)
    throw QuarlenError("quarlen:deviceError", std::string("could not copy ") + what + " to the device");
}

void downloadOrThrow(GpuRuntime& runtime, void* destination, DeviceAddress source, std::size_t bytes,
                     const char* what) {
  if (runtime.copyDeviceToHost(destination, source, bytes) != runtimeSuccess)
    throw QuarlenError("quarlen:deviceError", std::string("could not copy ") + what + " from the device");
}

void copyOnDeviceOrThrow(GpuRuntime& runtime, DeviceAddress destination, DeviceAddress source, std::size_t bytes,
                         const char* what) {
  if (runtime.copyDeviceToDevice(destination, source, bytes) != runtimeSuccess)
    throw QuarlenError("quarlen:deviceError", std::string("could not copy ") + what + " on the device");
}

}  // namespace quarlen
