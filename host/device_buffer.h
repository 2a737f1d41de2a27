// One allocation of device memory, owned: freed when the owner lets go of it, on every path out of
// a call, errors included.
#pragma once

#include <cstddef>
#include <utility>

#include "runtime/gpu_runtime.h"

namespace quarlen {

class DeviceBuffer {
 public:
  DeviceBuffer() = default;
  // Allocates `bytes` and clears them; throws QuarlenError("quarlen:outOfMemory") naming `what`.
  static DeviceBuffer allocateCleared(GpuRuntime& runtime, std::size_t bytes, const char* what);

  DeviceBuffer(DeviceBuffer&& other) noexcept { *this = std::move(other); }
  DeviceBuffer& operator=(DeviceBuffer&& other) noexcept {
    if (this != &other) {
      release();
      runtime_ = std::exchange(other.runtime_, nullptr);
      address_ = std::exchange(other.address_, 0);
      bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
  }
  DeviceBuffer(const DeviceBuffer&) = delete;
  DeviceBuffer& operator=(const DeviceBuffer&) = delete;
  ~DeviceBuffer() { release(); }

  void release();
  DeviceAddress address() const { return address_; }
  std::size_t bytes() const { return bytes_; }

 private:
  GpuRuntime* runtime_ = nullptr;
  DeviceAddress address_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace quarlen
