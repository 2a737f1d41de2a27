#include "runtime/cpu/executor.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <random>
#include <sstream>
#include <utility>

#include "runtime/cpu/cpu_kernels.h"

namespace quarlen::cpu {
namespace {

constexpr std::align_val_t ALLOCATION_ALIGNMENT{256};

unsigned defaultWorkers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

std::string addressText(DeviceAddress address) { return "@" + std::to_string(address); }

std::string dimText(Dim3 d) { return std::to_string(d.x) + "x" + std::to_string(d.y) + "x" + std::to_string(d.z); }

}  // namespace

CpuExecutor::CpuExecutor(CpuExecutorOptions options)
    : options_(options), pool_(options.workers == 0 ? defaultWorkers() : options.workers) {
  std::iota(permutation_.begin(), permutation_.end(), std::uint8_t{0});
  if (options_.order == ThreadOrder::reversed) {
    std::reverse(permutation_.begin(), permutation_.end());
  } else if (options_.order == ThreadOrder::shuffled) {
    std::mt19937 random(options_.shuffleSeed);
    std::shuffle(permutation_.begin(), permutation_.end(), random);
  }
}

CpuExecutor::~CpuExecutor() {
  for (Allocation& allocation : allocations_) releaseMemory(allocation.data);
  dropSpares(0);
}

void CpuExecutor::releaseMemory(std::byte* data) {
  if (data != nullptr) ::operator delete[](data, ALLOCATION_ALIGNMENT);
}

void CpuExecutor::dropSpares(std::size_t keepBytes) {
  while (spareBytes_ > keepBytes) {  // the oldest spares go first
    spareBytes_ -= spares_.front().bytes;
    releaseMemory(spares_.front().data);
    spares_.erase(spares_.begin());
  }
}

std::byte* CpuExecutor::takeMemory(std::size_t bytes) {
  // A spare of the same size first: its pages are mapped already, so a call that comes again with
  // the same image size pays no page faults.
  auto spare = std::find_if(spares_.begin(), spares_.end(), [&](const Allocation& a) { return a.bytes == bytes; });
  if (spare != spares_.end()) {
    std::byte* data = spare->data;
    spareBytes_ -= spare->bytes;
    spares_.erase(spare);
    return data;
  }
  const std::size_t size = std::max<std::size_t>(bytes, 1);
  auto* data = static_cast<std::byte*>(::operator new[](size, ALLOCATION_ALIGNMENT, std::nothrow));
  if (data == nullptr && !spares_.empty()) {  // memory is short: give the spares back and try once more
    dropSpares(0);
    data = static_cast<std::byte*>(::operator new[](size, ALLOCATION_ALIGNMENT, std::nothrow));
  }
  return data;
}

void CpuExecutor::keepSpare(Allocation allocation) {
  if (allocation.bytes > SPARE_LIMIT_BYTES) {  // would push out every other spare
    releaseMemory(allocation.data);
    return;
  }
  spares_.push_back(allocation);
  spareBytes_ += allocation.bytes;
  dropSpares(SPARE_LIMIT_BYTES);
}

void CpuExecutor::inParallel(std::size_t bytes, const std::function<void(std::size_t, std::size_t)>& part) {
  // Large copies and clears are shared among the workers: one core alone does not reach the
  // memory's bandwidth. Small ones are not worth waking them for.
  constexpr std::size_t PARALLEL_BYTES = std::size_t{1} << 20;
  const std::size_t workers = pool_.size();
  if (bytes < PARALLEL_BYTES || workers == 1) {
    if (bytes != 0) part(0, bytes);
    return;
  }
  const std::size_t share = (bytes / workers + 63) / 64 * 64;
  pool_.run([&](unsigned worker) {
    const std::size_t begin = std::min(bytes, share * worker);
    const std::size_t end = std::min(bytes, begin + share);
    if (begin < end) part(begin, end);
  });
}

void CpuExecutor::record(std::string line) {
  if (options_.keepLog) log_.push_back(std::move(line));
}

std::vector<std::string> CpuExecutor::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void CpuExecutor::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

CpuExecutor::Allocation* CpuExecutor::find(DeviceAddress address) {
  if (address == 0 || address > allocations_.size()) return nullptr;
  Allocation& allocation = allocations_[address - 1];
  return allocation.data != nullptr ? &allocation : nullptr;
}

const CpuExecutor::Allocation* CpuExecutor::find(DeviceAddress address) const {
  return const_cast<CpuExecutor*>(this)->find(address);
}

void* CpuExecutor::resolve(DeviceAddress address) const {
  std::lock_guard lock(mutex_);
  const Allocation* allocation = find(address);
  return allocation != nullptr ? allocation->data : nullptr;
}

std::size_t CpuExecutor::allocationBytes(DeviceAddress address) const {
  std::lock_guard lock(mutex_);
  const Allocation* allocation = find(address);
  return allocation != nullptr ? allocation->bytes : 0;
}

std::size_t CpuExecutor::liveAllocations() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(allocations_.begin(), allocations_.end(), [](const Allocation& a) { return a.data != nullptr; }));
}

int CpuExecutor::setDevice(int device) {
  std::lock_guard lock(mutex_);
  record("device " + std::to_string(device));
  return device == 0 ? runtimeSuccess : runtimeInvalidValue;
}

int CpuExecutor::malloc(DeviceAddress* slot, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  if (slot == nullptr) return runtimeInvalidValue;
  *slot = 0;
  if (bytes > options_.capacityBytes - liveBytes_) {
    record("malloc refused " + std::to_string(bytes));
    return runtimeMemoryAllocation;
  }
  std::byte* data = takeMemory(bytes);
  if (data == nullptr) {
    record("malloc refused " + std::to_string(bytes));
    return runtimeMemoryAllocation;
  }
  // The lowest free address, so that a call's buffers get the same addresses every time.
  auto freeSlot =
      std::find_if(allocations_.begin(), allocations_.end(), [](const Allocation& a) { return a.data == nullptr; });
  if (freeSlot == allocations_.end()) freeSlot = allocations_.insert(allocations_.end(), Allocation{});
  *freeSlot = Allocation{data, bytes};
  liveBytes_ += bytes;
  *slot = static_cast<DeviceAddress>(freeSlot - allocations_.begin() + 1);
  record("malloc " + addressText(*slot) + " " + std::to_string(bytes));
  return runtimeSuccess;
}

int CpuExecutor::free(DeviceAddress address) {
  std::lock_guard lock(mutex_);
  Allocation* allocation = find(address);
  if (allocation == nullptr) return runtimeInvalidValue;
  keepSpare(*allocation);
  liveBytes_ -= allocation->bytes;
  *allocation = Allocation{};
  record("free " + addressText(address));
  return runtimeSuccess;
}

int CpuExecutor::clear(DeviceAddress address, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  Allocation* allocation = find(address);
  if (allocation == nullptr || bytes > allocation->bytes) return runtimeInvalidValue;
  inParallel(bytes, [&](std::size_t begin, std::size_t end) { std::memset(allocation->data + begin, 0, end - begin); });
  record("clear " + addressText(address) + " " + std::to_string(bytes));
  return runtimeSuccess;
}

int CpuExecutor::copyHostToDevice(DeviceAddress destination, const void* source, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  Allocation* to = find(destination);
  if (to == nullptr || bytes > to->bytes || (source == nullptr && bytes != 0)) return runtimeInvalidValue;
  inParallel(bytes, [&](std::size_t begin, std::size_t end) {
    std::memcpy(to->data + begin, static_cast<const std::byte*>(source) + begin, end - begin);
  });
  record("copy host->" + addressText(destination) + " " + std::to_string(bytes));
  return runtimeSuccess;
}

int CpuExecutor::copyDeviceToHost(void* destination, DeviceAddress source, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  const Allocation* from = find(source);
  if (from == nullptr || bytes > from->bytes || (destination == nullptr && bytes != 0)) return runtimeInvalidValue;
  inParallel(bytes, [&](std::size_t begin, std::size_t end) {
    std::memcpy(static_cast<std::byte*>(destination) + begin, from->data + begin, end - begin);
  });
  record("copy " + addressText(source) + "->host " + std::to_string(bytes));
  return runtimeSuccess;
}

int CpuExecutor::copyDeviceToDevice(DeviceAddress destination, DeviceAddress source, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  Allocation* to = find(destination);
  const Allocation* from = find(source);
  if (to == nullptr || from == nullptr || bytes > to->bytes || bytes > from->bytes) return runtimeInvalidValue;
  if (to != from)  // a copy onto itself changes nothing
    inParallel(bytes, [&](std::size_t begin, std::size_t end) {
      std::memcpy(to->data + begin, from->data + begin, end - begin);
    });
  record("copy " + addressText(source) + "->" + addressText(destination) + " " + std::to_string(bytes));
  return runtimeSuccess;
}

int CpuExecutor::configureCall(Dim3 grid, Dim3 block, std::size_t sharedBytes, int stream) {
  std::lock_guard lock(mutex_);
  // The executor runs 16 x 16 blocks on the default stream, with the kernels' fixed block-shared
  // arrays only; and a grid without blocks is no launch at all.
  const bool runnable = grid.x != 0 && grid.y != 0 && grid.z == 1 && block == Dim3{TILE_SIZE, TILE_SIZE, 1} &&
                        sharedBytes == 0 && stream == 0;
  if (!runnable) {
    pending_.reset();
    record("configure refused grid " + dimText(grid) + " block " + dimText(block));
    return runtimeInvalidConfiguration;
  }
  pending_.emplace();
  pending_->grid = grid;
  return runtimeSuccess;
}

int CpuExecutor::setupArgument(const void* argument, std::size_t size, std::size_t offset) {
  std::lock_guard lock(mutex_);
  if (!pending_) return runtimeInvalidConfiguration;
  if (argument == nullptr || offset > PARAMETER_BLOCK_BYTES || size > PARAMETER_BLOCK_BYTES - offset) {
    pending_->argumentsOk = false;
    return runtimeInvalidValue;
  }
  std::memcpy(pending_->params.data() + offset, argument, size);
  return runtimeSuccess;
}

int CpuExecutor::launch(KernelId key) {
  std::unique_lock lock(mutex_);
  std::optional<PendingLaunch> pending = std::exchange(pending_, std::nullopt);
  const auto index = static_cast<std::size_t>(key);
  const std::string name(kernelName(key));
  if (!pending || !pending->argumentsOk || index >= KERNEL_COUNT || !registry_[index]) {
    record("launch refused " + name);
    return pending ? runtimeInvalidDeviceFunction : runtimeInvalidConfiguration;
  }
  const CpuKernelEntry& kernel = cpuKernel(key);
  record("launch " + name + " grid " + std::to_string(pending->grid.x) + "x" + std::to_string(pending->grid.y) + " (" +
         kernel.format(pending->params.data()) + ")");
  lock.unlock();
  if (!kernel.run(*this, pending->grid, pending->params.data())) {
    lock.lock();
    record("launch refused " + name + ": an argument names no device memory");
    return runtimeInvalidValue;
  }
  return runtimeSuccess;
}

int CpuExecutor::synchronize() {
  std::lock_guard lock(mutex_);
  record("sync");
  return runtimeSuccess;
}

ModuleHandle CpuExecutor::registerModule(const char* moduleName) {
  std::lock_guard lock(mutex_);
  moduleNames_.emplace_back(moduleName);
  return static_cast<ModuleHandle>(moduleNames_.size());
}

int CpuExecutor::registerFunction(ModuleHandle module, KernelId key, const char* kernelName) {
  std::lock_guard lock(mutex_);
  const auto index = static_cast<std::size_t>(key);
  if (module == 0 || module > moduleNames_.size() || index >= KERNEL_COUNT) return runtimeInvalidValue;
  registry_[index] = Registration{module, kernelName};
  std::erase(registrationOrder_, key);
  registrationOrder_.push_back(key);
  return runtimeSuccess;
}

void CpuExecutor::unregisterModule(ModuleHandle module) {
  std::lock_guard lock(mutex_);
  for (auto& registration : registry_)
    if (registration && registration->module == module) registration.reset();
  std::erase_if(registrationOrder_, [&](KernelId key) { return !registry_[static_cast<std::size_t>(key)]; });
}

std::vector<std::string> CpuExecutor::registeredKernels() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (KernelId key : registrationOrder_) names.push_back(registry_[static_cast<std::size_t>(key)]->name);
  return names;
}

}  // namespace quarlen::cpu
