#include "runtime/cpu/cpu_kernels.h"

#include <array>
#include <tuple>

#include "kernels/all.h"
#include "runtime/cpu/executor.h"
#include "runtime/params.h"

namespace quarlen::cpu {
namespace {

template <class Kernel>
bool runFromParams(CpuExecutor& executor, Dim3 grid, const std::byte* params) {
  return [&]<class... P>(ParamList<P...> list) {
    std::tuple<P...> arguments;
    if (!unpackParams(
            list, params, [&](DeviceAddress a) { return executor.resolve(a); }, arguments))
      return false;
    std::apply([&](auto... a) { executor.runGrid<Kernel>(grid, a...); }, arguments);
    return true;
  }(typename Kernel::Params{});
}

template <class Kernel>
std::string formatFromParams(const std::byte* params) {
  return formatParams(typename Kernel::Params{}, params);
}

template <class... Kernels>
constexpr std::array<CpuKernelEntry, KERNEL_COUNT> makeTable(KernelList<Kernels...>) {
  return {CpuKernelEntry{&runFromParams<Kernels>, &formatFromParams<Kernels>}...};
}

constexpr auto TABLE = makeTable(CannyKernels{});

}  // namespace

const CpuKernelEntry& cpuKernel(KernelId id) { return TABLE[static_cast<std::size_t>(id)]; }

}  // namespace quarlen::cpu
