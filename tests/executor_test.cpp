// The CPU executor: block semantics (shared memory, barriers, per-thread values, block-uniform
// loops) in every thread order, the launch protocol, device memory and the module registry.
#include "runtime/cpu/executor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "kernels/module.h"
#include "runtime/backend.h"

namespace quarlen {
namespace {

using cpu::CpuExecutor;
using cpu::CpuExecutorOptions;
using cpu::ThreadOrder;

// Each sweep every thread takes the larger of its own value and its right neighbour's (cyclic
// within the block) less one; the sweeps go on while a block-wide count of changed threads is
// nonzero. A thread remembers, across all barriers, the last sweep in which it changed.
struct SpreadKernel {
  struct Shared {
    int value[BLOCK_THREADS];
    int flags[BLOCK_THREADS];
  };
  template <class Block>
  static void run(Block& block, Shared& s, const int* in, int* out) {
    const unsigned base = (block.by * 1000 + block.bx) * BLOCK_THREADS;
    PerThread<Block, int> next;
    PerThread<Block, int> lastChange;
    block.phase([&](Thread t) {
      s.value[t.linear()] = in[base + t.linear()];
      lastChange[t] = -1;
    });
    for (int sweep = 0;; ++sweep) {
      block.phase([&](Thread t) {
        s.flags[t.linear()] = 0;
        next[t] = std::max(s.value[t.linear()], s.value[(t.linear() + 1) % BLOCK_THREADS] - 1);
      });
      block.phase([&](Thread t) {
        if (next[t] != s.value[t.linear()]) {
          s.value[t.linear()] = next[t];
          s.flags[t.linear()] = 1;
          lastChange[t] = sweep;
        }
      });
      for (unsigned offset = BLOCK_THREADS / 2; offset > 0; offset /= 2)
        block.phase([&](Thread t) {
          if (t.linear() < offset) s.flags[t.linear()] += s.flags[t.linear() + offset];
        });
      if (block.uniform([&] { return s.flags[0]; }) == 0) break;
    }
    block.phase([&](Thread t) { out[base + t.linear()] = s.value[t.linear()] + 1000 * (lastChange[t] + 1); });
  }
};

// The same sweeps, one plain loop per block.
std::vector<int> spreadGold(const std::vector<int>& in, unsigned blocks) {
  std::vector<int> out(in.size());
  for (unsigned b = 0; b < blocks; ++b) {
    std::vector<int> value(in.begin() + b * BLOCK_THREADS, in.begin() + (b + 1) * BLOCK_THREADS);
    std::vector<int> lastChange(BLOCK_THREADS, -1);
    for (int sweep = 0;; ++sweep) {
      std::vector<int> next(BLOCK_THREADS);
      for (unsigned i = 0; i < BLOCK_THREADS; ++i) next[i] = std::max(value[i], value[(i + 1) % BLOCK_THREADS] - 1);
      int changed = 0;
      for (unsigned i = 0; i < BLOCK_THREADS; ++i)
        if (next[i] != value[i]) value[i] = next[i], lastChange[i] = sweep, ++changed;
      if (changed == 0) break;
    }
    for (unsigned i = 0; i < BLOCK_THREADS; ++i) out[b * BLOCK_THREADS + i] = value[i] + 1000 * (lastChange[i] + 1);
  }
  return out;
}

// Reads a neighbour's shared cell in the phase that writes it: a missing barrier.
struct RacyKernel {
  struct Shared {
    int value[BLOCK_THREADS];
  };
  template <class Block>
  static void run(Block& block, Shared& s, const int* in, int* out) {
    block.phase([&](Thread t) { s.value[t.linear()] = in[t.linear()]; });
    block.phase([&](Thread t) { s.value[t.linear()] += s.value[(t.linear() + 1) % BLOCK_THREADS]; });
    block.phase([&](Thread t) { out[t.linear()] = s.value[t.linear()]; });
  }
};

class ThreadOrders : public ::testing::TestWithParam<ThreadOrder> {};

TEST_P(ThreadOrders, BarriersSharedMemoryPerThreadValuesAndUniformLoopsMatchThePlainLoop) {
  constexpr unsigned gridX = 3;
  constexpr unsigned gridY = 2;
  std::vector<int> in(1000 * gridY * BLOCK_THREADS, 0);
  std::vector<int> compact(gridX * gridY * BLOCK_THREADS);
  for (unsigned i = 0; i < compact.size(); ++i) compact[i] = static_cast<int>((i * 7919u) % 97u);
  compact[5] = 300;  // one block needs many sweeps, the others few
  for (unsigned by = 0; by < gridY; ++by)
    for (unsigned bx = 0; bx < gridX; ++bx)
      std::copy_n(compact.begin() + (by * gridX + bx) * BLOCK_THREADS, BLOCK_THREADS,
                  in.begin() + (by * 1000 + bx) * BLOCK_THREADS);
  std::vector<int> out(in.size(), 0);

  CpuExecutor executor({.workers = 2, .order = GetParam(), .shuffleSeed = 7});
  executor.runGrid<SpreadKernel>(Dim3{gridX, gridY, 1}, static_cast<const int*>(in.data()), out.data());

  const std::vector<int> gold = spreadGold(compact, gridX * gridY);
  for (unsigned by = 0; by < gridY; ++by)
    for (unsigned bx = 0; bx < gridX; ++bx)
      for (unsigned i = 0; i < BLOCK_THREADS; ++i)
        ASSERT_EQ(out[(by * 1000 + bx) * BLOCK_THREADS + i], gold[(by * gridX + bx) * BLOCK_THREADS + i])
            << "block (" << bx << ", " << by << ") thread " << i;
}

INSTANTIATE_TEST_SUITE_P(Executor, ThreadOrders,
                         ::testing::Values(ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled));

TEST(Executor, ThreadOrdersExposeAMissingBarrier) {
  std::vector<int> in(BLOCK_THREADS);
  std::iota(in.begin(), in.end(), 1);
  auto run = [&](ThreadOrder order) {
    std::vector<int> out(BLOCK_THREADS);
    CpuExecutor executor({.workers = 1, .order = order});
    executor.runGrid<RacyKernel>(Dim3{1, 1, 1}, static_cast<const int*>(in.data()), out.data());
    return out;
  };
  EXPECT_NE(run(ThreadOrder::forward), run(ThreadOrder::reversed));
}

TEST(Executor, RefusesConfigurationsItCannotRunAndSkipsTheirLaunch) {
  CpuExecutor executor({.keepLog = true});
  registerCannyModule(executor);
  const Dim3 block{16, 16, 1};
  EXPECT_NE(executor.configureCall(Dim3{0, 4, 1}, block, 0, 0), 0);
  EXPECT_NE(executor.configureCall(Dim3{4, 0, 1}, block, 0, 0), 0);
  EXPECT_NE(executor.configureCall(Dim3{4, 4, 1}, Dim3{8, 8, 1}, 0, 0), 0);
  EXPECT_NE(executor.configureCall(Dim3{4, 4, 1}, block, 64, 0), 0);
  EXPECT_NE(executor.configureCall(Dim3{4, 4, 1}, block, 0, 1), 0);
  EXPECT_NE(executor.launch(KernelId::loadConvertData), 0);
  EXPECT_EQ(executor.log().back(), "launch refused loadConvertData");
}

TEST(Executor, RefusesArgumentsOutsideTheParameterBlockAndUnknownAddresses) {
  CpuExecutor executor;
  registerCannyModule(executor);
  const std::uint32_t value = 0;
  ASSERT_EQ(executor.configureCall(Dim3{1, 1, 1}, Dim3{16, 16, 1}, 0, 0), 0);
  EXPECT_NE(executor.setupArgument(&value, 4, PARAMETER_BLOCK_BYTES - 2), 0);
  EXPECT_NE(executor.launch(KernelId::loadConvertData8), 0);

  // Well-formed, but the addresses name no allocation.
  ASSERT_EQ(executor.configureCall(Dim3{1, 1, 1}, Dim3{16, 16, 1}, 0, 0), 0);
  const DeviceAddress nowhere = 42;
  const std::uint16_t size = 16;
  EXPECT_EQ(executor.setupArgument(&nowhere, 4, 0), 0);
  EXPECT_EQ(executor.setupArgument(&nowhere, 4, 4), 0);
  EXPECT_EQ(executor.setupArgument(&size, 2, 8), 0);
  EXPECT_EQ(executor.setupArgument(&size, 2, 10), 0);
  EXPECT_NE(executor.launch(KernelId::loadConvertData8), 0);
}

TEST(Executor, LaunchesOnlyRegisteredKernels) {
  CpuExecutor executor;
  DeviceAddress bytes = 0;
  DeviceAddress floats = 0;
  ASSERT_EQ(executor.malloc(&bytes, 256), 0);
  ASSERT_EQ(executor.malloc(&floats, 1024), 0);
  const std::uint16_t size = 16;
  auto launch = [&] {
    executor.configureCall(Dim3{1, 1, 1}, Dim3{16, 16, 1}, 0, 0);
    executor.setupArgument(&bytes, 4, 0);
    executor.setupArgument(&floats, 4, 4);
    executor.setupArgument(&size, 2, 8);
    executor.setupArgument(&size, 2, 10);
    return executor.launch(KernelId::loadConvertData8);
  };
  EXPECT_NE(launch(), 0);
  const ModuleHandle module = registerCannyModule(executor);
  EXPECT_EQ(launch(), 0);
  executor.unregisterModule(module);
  EXPECT_TRUE(executor.registeredKernels().empty());
  EXPECT_NE(launch(), 0);
}

TEST(Executor, DeviceMemoryIsAccountedCopiedAndBoundsChecked) {
  CpuExecutor executor({.capacityBytes = 1000});
  DeviceAddress a = 0;
  DeviceAddress b = 0;
  DeviceAddress c = 0;
  ASSERT_EQ(executor.malloc(&a, 600), 0);
  EXPECT_NE(executor.malloc(&b, 600), 0) << "beyond the capacity";
  ASSERT_EQ(executor.malloc(&b, 400), 0);
  EXPECT_EQ(executor.liveAllocations(), 2u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(executor.resolve(a)) % 256, 0u);

  std::vector<std::uint8_t> host(400);
  std::iota(host.begin(), host.end(), std::uint8_t{0});
  EXPECT_EQ(executor.copyHostToDevice(b, host.data(), 400), 0);
  EXPECT_NE(executor.copyHostToDevice(b, host.data(), 401), 0);
  EXPECT_EQ(executor.copyDeviceToDevice(a, b, 400), 0);
  std::vector<std::uint8_t> back(400);
  EXPECT_EQ(executor.copyDeviceToHost(back.data(), a, 400), 0);
  EXPECT_EQ(back, host);
  EXPECT_EQ(executor.clear(a, 600), 0);
  EXPECT_EQ(executor.copyDeviceToHost(back.data(), a, 400), 0);
  EXPECT_EQ(back, std::vector<std::uint8_t>(400, 0));

  EXPECT_EQ(executor.free(a), 0);
  EXPECT_NE(executor.free(a), 0) << "freed twice";
  EXPECT_NE(executor.copyDeviceToHost(back.data(), a, 1), 0) << "use after free";
  ASSERT_EQ(executor.malloc(&c, 16), 0);
  EXPECT_EQ(c, a) << "the lowest free address is reused";
  EXPECT_EQ(executor.free(b), 0);
  EXPECT_EQ(executor.free(c), 0);
  EXPECT_EQ(executor.liveAllocations(), 0u);
}

TEST(Module, RegistersItsThirteenKernelsInOrderWhenLoaded) {
  const std::vector<std::string> expected(KERNEL_NAMES.begin(), KERNEL_NAMES.end());
  EXPECT_EQ(moduleRuntime().registeredKernels(), expected);
  EXPECT_EQ(expected.front(), "cannyBlockConverter8");
  EXPECT_EQ(expected.back(), "matlabGrayScaleTest");
}

}  // namespace
}  // namespace quarlen
