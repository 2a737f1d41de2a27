// Gradient strength and quantised direction, and non-maximum suppression.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

struct CannyGradientStrengthDirection {
  static constexpr KernelId id = KernelId::cannyGradientStrengthDirection;
  using Params = ParamList<const float*, const float*, std::uint16_t, std::uint16_t, float*, std::uint32_t*>;
  struct Shared {};
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, const float*, std::uint16_t, std::uint16_t, float*,
                             std::uint32_t*) {}
};

struct CannyNonmaxSupression {
  static constexpr KernelId id = KernelId::cannyNonmaxSupression;
  using Params = ParamList<const std::uint32_t*, const float*, float*, std::uint16_t, std::uint16_t>;
  struct Shared {
    float sharedGradStrength[TILE_SIZE + 2][TILE_SIZE + 2];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const std::uint32_t*, const float*, float*, std::uint16_t,
                             std::uint16_t) {}
};

}  // namespace quarlen
