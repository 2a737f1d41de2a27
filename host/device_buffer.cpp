#include "host/device_buffer.h"

#include <string>

#include "host/errors.h"

namespace quarlen {

DeviceBuffer DeviceBuffer::allocateCleared(GpuRuntime& runtime, std::size_t bytes, const char* what) {
  DeviceBuffer buffer;
  if (runtime.malloc(&buffer.address_, bytes) != runtimeSuccess) {
    throw QuarlenError("quarlen:outOfMemory",
                       "could not allocate " + std::to_string(bytes) + " bytes of device memory for " + what);
  }
  buffer.runtime_ = &runtime;
  buffer.bytes_ = bytes;
  if (runtime.clear(buffer.address_, bytes) != runtimeSuccess)
    throw QuarlenError("quarlen:deviceError", std::string("could not clear the device memory of ") + what);
  return buffer;
}

void DeviceBuffer::release() {
  if (runtime_ != nullptr) runtime_->free(address_);
  runtime_ = nullptr;
  address_ = 0;
  bytes_ = 0;
}

}  // namespace quarlen
