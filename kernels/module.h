// The kernel module "Canny": its 13 kernels, in the order in which they are registered with the
// runtime when the library is loaded. A launch names its kernel by this key on every backend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace quarlen {

inline constexpr const char* MODULE_NAME = "Canny";

enum class KernelId : std::uint8_t {
  cannyBlockConverter8,
  cannyBlockConverter,
  cannyHysteresisBlockShared,
  cannyHysteresisBlock,
  cannyNonmaxSupression,
  cannyGradientStrengthDirection,
  sobelSeparablePassY,
  sobelSeparablePassX,
  gaussianSeparablePassY,
  gaussianSeparablePassX,
  loadConvertData8,
  loadConvertData,
  matlabGrayScaleTest,
};

inline constexpr std::size_t KERNEL_COUNT = 13;

inline constexpr std::array<std::string_view, KERNEL_COUNT> KERNEL_NAMES = {
    "cannyBlockConverter8",   "cannyBlockConverter",   "cannyHysteresisBlockShared",
    "cannyHysteresisBlock",   "cannyNonmaxSupression", "cannyGradientStrengthDirection",
    "sobelSeparablePassY",    "sobelSeparablePassX",   "gaussianSeparablePassY",
    "gaussianSeparablePassX", "loadConvertData8",      "loadConvertData",
    "matlabGrayScaleTest",
};

constexpr std::string_view kernelName(KernelId id) { return KERNEL_NAMES[static_cast<std::size_t>(id)]; }

// The parameter list of a kernel. In the parameter block a device pointer takes 4 bytes (a device
// address), every other parameter its own size, at consecutive offsets from 0.
template <class... Params>
struct ParamList {
  static constexpr std::size_t count = sizeof...(Params);
};

template <class P>
inline constexpr std::size_t paramBytes = std::is_pointer_v<P> ? 4 : sizeof(P);

}  // namespace quarlen
