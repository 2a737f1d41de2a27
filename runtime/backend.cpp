#include "runtime/backend.h"

#include <memory>
#include <string>

#include "runtime/cpu/executor.h"
#if defined(QUARLEN_WITH_CUDA)
#include "runtime/cuda/cuda_runtime.h"
#endif

namespace quarlen {
namespace {

std::unique_ptr<GpuRuntime> selectBackend() {
#if defined(QUARLEN_WITH_CUDA)
  if (std::unique_ptr<GpuRuntime> cuda = makeCudaRuntime()) return cuda;
#endif
  return std::make_unique<cpu::CpuExecutor>();
}

// Lives from library load to unload, like a GPU runtime's registered module.
struct LoadedModule {
  std::unique_ptr<GpuRuntime> runtime = selectBackend();
  ModuleHandle handle = registerCannyModule(*runtime);
  LoadedModule() = default;
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() { runtime->unregisterModule(handle); }
};

LoadedModule loadedModule;

}  // namespace

GpuRuntime& moduleRuntime() { return *loadedModule.runtime; }

ModuleHandle registerCannyModule(GpuRuntime& runtime) {
  const ModuleHandle handle = runtime.registerModule(MODULE_NAME);
  for (std::size_t i = 0; i < KERNEL_COUNT; ++i)
    runtime.registerFunction(handle, static_cast<KernelId>(i), std::string(KERNEL_NAMES[i]).c_str());
  return handle;
}

}  // namespace quarlen
