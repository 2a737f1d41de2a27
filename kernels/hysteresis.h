// Hysteresis: block-synchronous sweeps, and the candidate-list alternative.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

inline constexpr unsigned MAX_SWEEPS = 128;
inline constexpr unsigned LIST_CAPACITY = 128;

struct CannyHysteresisBlockShared {
  static constexpr KernelId id = KernelId::cannyHysteresisBlockShared;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, float, float>;
  struct Shared {
    float sharedGradStrength[TILE_SIZE + 2][TILE_SIZE + 2];
    std::int32_t sharedModfied[BLOCK_THREADS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, float, float) {}
};

struct CannyHysteresisBlock {
  static constexpr KernelId id = KernelId::cannyHysteresisBlock;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, float, float>;
  struct Shared {
    float sharedGradStrength[TILE_SIZE + 2][TILE_SIZE + 2];
  };
  template <class Block>
  QUARLEN_HD static void run(Block&, Shared&, const float*, float*, std::uint16_t, std::uint16_t, float, float) {}
};

}  // namespace quarlen
