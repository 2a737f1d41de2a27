// The CPU executor: the GPU runtime interface over host memory and a pool of workers. Blocks of a
// launch are spread over the workers; the 256 threads of one block run phase by phase on one worker
// (see cpu_block.h). Launches run to completion before launch() returns, so copies and
// synchronisation never have anything left to wait for.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/cpu/cpu_block.h"
#include "runtime/cpu/thread_pool.h"
#include "runtime/gpu_runtime.h"

namespace quarlen::cpu {

enum class ThreadOrder { forward, reversed, shuffled };

struct CpuExecutorOptions {
  unsigned workers = 0;  // 0: one per core
  ThreadOrder order = ThreadOrder::forward;
  std::uint32_t shuffleSeed = 1;
  bool keepLog = false;                                      // record every operation as a line of text
  std::size_t capacityBytes = static_cast<std::size_t>(-1);  // device memory the executor may hand out
};

class CpuExecutor final : public GpuRuntime {
 public:
  explicit CpuExecutor(CpuExecutorOptions options = {});
  ~CpuExecutor() override;

  const char* name() const override { return "CPU executor"; }

  int setDevice(int device) override;
  int malloc(DeviceAddress* slot, std::size_t bytes) override;
  int free(DeviceAddress address) override;
  int clear(DeviceAddress address, std::size_t bytes) override;
  int copyHostToDevice(DeviceAddress destination, const void* source, std::size_t bytes) override;
  int copyDeviceToHost(void* destination, DeviceAddress source, std::size_t bytes) override;
  int copyDeviceToDevice(DeviceAddress destination, DeviceAddress source, std::size_t bytes) override;
  int configureCall(Dim3 grid, Dim3 block, std::size_t sharedBytes, int stream) override;
  int setupArgument(const void* argument, std::size_t size, std::size_t offset) override;
  int launch(KernelId key) override;
  int synchronize() override;
  ModuleHandle registerModule(const char* moduleName) override;
  int registerFunction(ModuleHandle module, KernelId key, const char* kernelName) override;
  void unregisterModule(ModuleHandle module) override;
  std::vector<std::string> registeredKernels() const override;

  // Host-visible memory of a live allocation, or nullptr.
  void* resolve(DeviceAddress address) const;
  std::size_t allocationBytes(DeviceAddress address) const;
  std::size_t liveAllocations() const;
  unsigned workerCount() const { return pool_.size(); }

  std::vector<std::string> log() const;
  void clearLog();

  // Runs `kernel` over `grid` with its parameters given as host pointers, bypassing the registry.
  // The pipeline's launches and the tests' own kernels both end here.
  template <class Kernel, class... Args>
  void runGrid(Dim3 grid, Args... args);

 private:
  struct Allocation {
    std::byte* data = nullptr;
    std::size_t bytes = 0;
  };
  struct Registration {
    ModuleHandle module = 0;
    std::string name;
  };

  static constexpr std::size_t BLOCKS_PER_TAKE = 8;

  // Freed memory is kept as spares, up to SPARE_LIMIT_BYTES, for the next allocation of its size.
  static constexpr std::size_t SPARE_LIMIT_BYTES = std::size_t{256} << 20;
  std::byte* takeMemory(std::size_t bytes);
  void keepSpare(Allocation allocation);
  void dropSpares(std::size_t keepBytes);  // frees the oldest spares until at most keepBytes remain
  static void releaseMemory(std::byte* data);

  // Runs part(begin, end) over [0, bytes), split among the workers when that pays.
  void inParallel(std::size_t bytes, const std::function<void(std::size_t, std::size_t)>& part);

  Allocation* find(DeviceAddress address);
  const Allocation* find(DeviceAddress address) const;
  void record(std::string line);

  CpuExecutorOptions options_;
  ThreadPool pool_;
  ThreadPermutation permutation_{};

  mutable std::mutex mutex_;             // allocations, registry and log
  std::vector<Allocation> allocations_;  // address a is allocations_[a - 1]
  std::size_t liveBytes_ = 0;
  std::vector<Allocation> spares_;  // oldest first
  std::size_t spareBytes_ = 0;
  std::array<std::optional<Registration>, KERNEL_COUNT> registry_{};
  std::vector<KernelId> registrationOrder_;
  std::vector<std::string> moduleNames_;  // handle h is moduleNames_[h - 1]
  std::vector<std::string> log_;

  struct PendingLaunch {
    Dim3 grid;
    std::array<std::byte, PARAMETER_BLOCK_BYTES> params{};
    bool argumentsOk = true;
  };
  std::optional<PendingLaunch> pending_;
};

// The order in which a worker takes the blocks of a grid: along the rows of tiles, which keeps the
// row-major float images streaming, unless a kernel that moves the caller's column-major bytes asks
// to go down the columns of tiles.
template <class Kernel>
std::pair<unsigned, unsigned> blockOf(std::size_t i, Dim3 grid) {
  if constexpr (requires { requires Kernel::BLOCKS_DOWN_COLUMNS; })
    return {static_cast<unsigned>(i / grid.y), static_cast<unsigned>(i % grid.y)};
  else
    return {static_cast<unsigned>(i % grid.x), static_cast<unsigned>(i / grid.x)};
}

template <class Kernel, class... Args>
void CpuExecutor::runGrid(Dim3 grid, Args... args) {
  const std::size_t blocks = std::size_t{grid.x} * grid.y;
  std::atomic<std::size_t> next{0};
  auto runBlocks = [&](auto order) {
    pool_.run([&](unsigned) {
      typename Kernel::Shared shared{};
      // A worker takes a run of consecutive blocks at a time, so that it walks along the images as
      // a stream the processor's prefetcher can follow.
      for (std::size_t first = next.fetch_add(BLOCKS_PER_TAKE, std::memory_order_relaxed); first < blocks;
           first = next.fetch_add(BLOCKS_PER_TAKE, std::memory_order_relaxed)) {
        const std::size_t last = std::min(blocks, first + BLOCKS_PER_TAKE);
        for (std::size_t i = first; i < last; ++i) {
          const auto [bx, by] = blockOf<Kernel>(i, grid);
          CpuBlock<decltype(order)> block{bx, by, order};
          Kernel::run(block, shared, args...);
        }
      }
    });
  };
  if (options_.order == ThreadOrder::forward)
    runBlocks(ForwardOrder{});
  else
    runBlocks(PermutedOrder{&permutation_});
}

}  // namespace quarlen::cpu
