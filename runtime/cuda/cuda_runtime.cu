// The CUDA backend: device memory from cudaMalloc, named by 32-bit device addresses that index a
// table of device pointers; launches through cudaLaunchKernel of each kernel's __global__ entry,
// whose arguments are unpacked from the same parameter block the CPU executor reads.
#include <cuda_runtime.h>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "kernels/all.h"
#include "runtime/cuda/cuda_runtime.h"
#include "runtime/params.h"

namespace quarlen {
namespace {

template <class Kernel, class... P>
__global__ void kernelEntry(P... params) {
  __shared__ typename Kernel::Shared shared;
  GpuBlock block;
  Kernel::run(block, shared, params...);
}

dim3 toDim3(Dim3 d) { return dim3(d.x, d.y, d.z); }

int status(cudaError_t error) { return static_cast<int>(error); }

struct PendingLaunch {
  Dim3 grid;
  Dim3 block;
  std::array<std::byte, PARAMETER_BLOCK_BYTES> params{};
  bool argumentsOk = true;
};

class CudaRuntime;
using Launcher = int (*)(CudaRuntime&, const PendingLaunch&);
Launcher launcherOf(KernelId key);

class CudaRuntime final : public GpuRuntime {
 public:
  const char* name() const override { return "CUDA"; }

  int setDevice(int device) override { return status(cudaSetDevice(device)); }

  int malloc(DeviceAddress* slot, std::size_t bytes) override {
    std::lock_guard lock(mutex_);
    if (slot == nullptr) return runtimeInvalidValue;
    *slot = 0;
    void* pointer = nullptr;
    const cudaError_t error = cudaMalloc(&pointer, bytes == 0 ? 1 : bytes);
    if (error != cudaSuccess) return status(error);
    std::size_t i = 0;
    while (i < pointers_.size() && pointers_[i] != nullptr) ++i;
    if (i == pointers_.size()) pointers_.push_back(nullptr);
    pointers_[i] = pointer;
    *slot = static_cast<DeviceAddress>(i + 1);
    return runtimeSuccess;
  }

  int free(DeviceAddress address) override {
    std::lock_guard lock(mutex_);
    void* pointer = find(address);
    if (pointer == nullptr) return runtimeInvalidValue;
    pointers_[address - 1] = nullptr;
    return status(cudaFree(pointer));
  }

  int clear(DeviceAddress address, std::size_t bytes) override {
    void* pointer = resolve(address);
    return pointer != nullptr ? status(cudaMemset(pointer, 0, bytes)) : runtimeInvalidValue;
  }

  int copyHostToDevice(DeviceAddress destination, const void* source, std::size_t bytes) override {
    void* to = resolve(destination);
    return to != nullptr ? status(cudaMemcpy(to, source, bytes, cudaMemcpyHostToDevice)) : runtimeInvalidValue;
  }

  int copyDeviceToHost(void* destination, DeviceAddress source, std::size_t bytes) override {
    void* from = resolve(source);
    return from != nullptr ? status(cudaMemcpy(destination, from, bytes, cudaMemcpyDeviceToHost)) : runtimeInvalidValue;
  }

  int copyDeviceToDevice(DeviceAddress destination, DeviceAddress source, std::size_t bytes) override {
    void* to = resolve(destination);
    void* from = resolve(source);
    if (to == nullptr || from == nullptr) return runtimeInvalidValue;
    return status(cudaMemcpy(to, from, bytes, cudaMemcpyDeviceToDevice));
  }

  int configureCall(Dim3 grid, Dim3 block, std::size_t sharedBytes, int stream) override {
    std::lock_guard lock(mutex_);
    pending_.reset();
    if (grid.x == 0 || grid.y == 0 || grid.z == 0 || !(block == Dim3{TILE_SIZE, TILE_SIZE, 1}) || sharedBytes != 0 ||
        stream != 0)
      return status(cudaErrorInvalidConfiguration);
    pending_.emplace();
    pending_->grid = grid;
    pending_->block = block;
    return runtimeSuccess;
  }

  int setupArgument(const void* argument, std::size_t size, std::size_t offset) override {
    std::lock_guard lock(mutex_);
    if (!pending_) return status(cudaErrorInvalidConfiguration);
    if (argument == nullptr || offset > PARAMETER_BLOCK_BYTES || size > PARAMETER_BLOCK_BYTES - offset) {
      pending_->argumentsOk = false;
      return runtimeInvalidValue;
    }
    std::memcpy(pending_->params.data() + offset, argument, size);
    return runtimeSuccess;
  }

  int launch(KernelId key) override {
    std::optional<PendingLaunch> pending;
    {
      std::lock_guard lock(mutex_);
      pending = std::exchange(pending_, std::nullopt);
      if (!pending || !pending->argumentsOk) return status(cudaErrorInvalidConfiguration);
      if (!registered_[static_cast<std::size_t>(key)]) return status(cudaErrorInvalidDeviceFunction);
    }
    return launcherOf(key)(*this, *pending);
  }

  void* resolve(DeviceAddress address) const {
    std::lock_guard lock(mutex_);
    return find(address);
  }

  int synchronize() override { return status(cudaDeviceSynchronize()); }

  ModuleHandle registerModule(const char*) override { return ++modules_; }

  int registerFunction(ModuleHandle module, KernelId key, const char* kernelName) override {
    std::lock_guard lock(mutex_);
    registered_[static_cast<std::size_t>(key)] = module;
    names_[static_cast<std::size_t>(key)] = kernelName;
    std::erase(order_, key);
    order_.push_back(key);
    return runtimeSuccess;
  }

  void unregisterModule(ModuleHandle module) override {
    std::lock_guard lock(mutex_);
    for (auto& registration : registered_)
      if (registration == module) registration = 0;
    std::erase_if(order_, [&](KernelId key) { return registered_[static_cast<std::size_t>(key)] == 0; });
  }

  std::vector<std::string> registeredKernels() const override {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (KernelId key : order_) names.push_back(names_[static_cast<std::size_t>(key)]);
    return names;
  }

  ~CudaRuntime() override {
    for (void* pointer : pointers_)
      if (pointer != nullptr) cudaFree(pointer);
  }

 private:
  void* find(DeviceAddress address) const {
    return address == 0 || address > pointers_.size() ? nullptr : pointers_[address - 1];
  }

  mutable std::mutex mutex_;
  std::vector<void*> pointers_;  // address a is pointers_[a - 1]
  std::optional<PendingLaunch> pending_;
  std::array<ModuleHandle, KERNEL_COUNT> registered_{};
  std::array<std::string, KERNEL_COUNT> names_{};
  std::vector<KernelId> order_;
  ModuleHandle modules_ = 0;
};

template <class Kernel>
int launchKernel(CudaRuntime& runtime, const PendingLaunch& pending) {
  return [&]<class... P>(ParamList<P...> list) -> int {
    std::tuple<P...> arguments;
    if (!unpackParams(
            list, pending.params.data(), [&](DeviceAddress a) { return runtime.resolve(a); }, arguments))
      return runtimeInvalidValue;
    return std::apply(
        [&](auto&... argument) -> int {
          void* slots[] = {static_cast<void*>(&argument)...};
          return status(cudaLaunchKernel(reinterpret_cast<const void*>(&kernelEntry<Kernel, P...>),
                                         toDim3(pending.grid), toDim3(pending.block), slots, 0, nullptr));
        },
        arguments);
  }(typename Kernel::Params{});
}

template <class... Kernels>
std::array<Launcher, KERNEL_COUNT> makeLaunchers(KernelList<Kernels...>) {
  std::array<Launcher, KERNEL_COUNT> launchers{};
  const Launcher each[] = {&launchKernel<Kernels>...};
  for (std::size_t i = 0; i < KERNEL_COUNT; ++i) launchers[i] = each[i];
  return launchers;
}

Launcher launcherOf(KernelId key) {
  static const std::array<Launcher, KERNEL_COUNT> launchers = makeLaunchers(CannyKernels{});
  return launchers[static_cast<std::size_t>(key)];
}

}  // namespace

std::unique_ptr<GpuRuntime> makeCudaRuntime() {
  int devices = 0;
  if (cudaGetDeviceCount(&devices) != cudaSuccess || devices == 0) return nullptr;
  return std::make_unique<CudaRuntime>();
}

}  // namespace quarlen
