// The 3-tap separable Sobel passes.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

inline constexpr unsigned SOBEL_TAPS = 3;

struct SobelSeparablePassX {
  static constexpr KernelId id = KernelId::sobelSeparablePassX;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    std::int32_t smem[TILE_SIZE][TILE_SIZE + 2];
    float k[SOBEL_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, const float*) {}
};

struct SobelSeparablePassY {
  static constexpr KernelId id = KernelId::sobelSeparablePassY;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    float smem[TILE_SIZE + 2][TILE_SIZE];
    float k[SOBEL_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, const float*) {}
};

}  // namespace quarlen
