// The 15-tap separable Gaussian passes.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

inline constexpr unsigned GAUSS_TAPS = 15;
inline constexpr unsigned GAUSS_HALO = 7;

struct GaussianSeparablePassX {
  static constexpr KernelId id = KernelId::gaussianSeparablePassX;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    std::int32_t smem[TILE_SIZE][TILE_SIZE + 2 * GAUSS_HALO];
    float k[GAUSS_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, const float*) {}
};

struct GaussianSeparablePassY {
  static constexpr KernelId id = KernelId::gaussianSeparablePassY;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    float smem[TILE_SIZE + 2 * GAUSS_HALO][TILE_SIZE];
    float k[GAUSS_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, const float*) {}
};

}  // namespace quarlen
