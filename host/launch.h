// Launching a kernel through the runtime's protocol: configure, set up each argument at its offset,
// launch by key. A refused configuration or argument skips this one launch, silently; the schedule
// goes on.
#pragma once

#include <cstddef>

#include "runtime/gpu_runtime.h"
#include "runtime/params.h"

namespace quarlen {

struct LaunchGeometry {
  Dim3 grid;
  Dim3 block;
};

namespace launch_detail {

template <class... P>
void launchWithParams(GpuRuntime& runtime, KernelId key, const LaunchGeometry& geometry, ParamList<P...> list,
                      const HostArgument<P>&... arguments) {
  if (runtime.configureCall(geometry.grid, geometry.block, 0, 0) != runtimeSuccess) return;
  constexpr auto offsets = paramOffsets(ParamList<P...>{});
  std::size_t i = 0;
  bool accepted = true;
  auto setup = [&](const auto& argument) {
    if (accepted) accepted = runtime.setupArgument(&argument, sizeof argument, offsets[i]) == runtimeSuccess;
    ++i;
  };
  (setup(arguments), ...);
  (void)list;
  if (accepted) runtime.launch(key);
}

}  // namespace launch_detail

// `arguments` are the kernel's parameters as the host holds them: device addresses for device
// pointers, the values themselves otherwise.
template <class Kernel, class... Arguments>
void launchKernel(GpuRuntime& runtime, const LaunchGeometry& geometry, const Arguments&... arguments) {
  launch_detail::launchWithParams(runtime, Kernel::id, geometry, typename Kernel::Params{}, arguments...);
}

}  // namespace quarlen
