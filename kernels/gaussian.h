// The 15-tap separable Gaussian passes.
//
// A separable pass filters along one direction with a table of 2h + 1 taps applied as a
// correlation: tap j multiplies the pixel at offset j - h along the pass, pixels outside the image
// counting as 0. Each block stages a window of its input in block-shared memory: the tile plus h
// pixels on either side along the pass (the halo), so that every product is read from block-shared
// memory. The horizontal passes truncate their input toward zero (they work on whole numbers); the
// vertical passes take it unchanged.
//
// Tile indices, pixel coordinates and element indices are all full width (32 bits), so every image
// up to 65535 pixels in each direction is filtered correctly, also beyond 256 tiles.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"
#include "kernels/separable.h"

namespace quarlen {

inline constexpr unsigned GAUSS_TAPS = 15;
inline constexpr unsigned GAUSS_HALO = 7;

// Rows of formatData, truncated toward zero, correlated with the 15 taps of `kernel` into xPassData:
//   xPassData(x, y) = sum over j = 0..14, in that order from 0, of k[j] * trunc(formatData(x - 7 + j, y)).
// Block 16 x 16; shared 1980 bytes (smem 16 x 30 integers: image columns 16 * bx - 7 .. 16 * bx + 22
// of the tile rows; k 15 floats); 2 barriers. iHeight is not read. Writes exactly the tile's pixels.
struct GaussianSeparablePassX {
  static constexpr KernelId id = KernelId::gaussianSeparablePassX;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    std::int32_t smem[TILE_SIZE][TILE_SIZE + 2 * GAUSS_HALO];
    float k[GAUSS_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* formatData, float* xPassData,
                             std::uint16_t iWidth, std::uint16_t, const float* kernel) {
    const unsigned tileX = TILE_SIZE * block.bx;
    const unsigned tileY = TILE_SIZE * block.by;
    separable::stageRowWindows(block, shared.smem, shared.k, formatData, kernel, iWidth);
    block.phase([&](Thread t) {
      const std::int32_t* window = shared.smem[t.ty] + t.tx;
      float sum = 0.0f;
      for (unsigned j = 0; j < GAUSS_TAPS; ++j)
        sum = separable::mulThenAdd(static_cast<float>(window[j]), shared.k[j], sum);
      separable::tileRow(xPassData, tileX, tileY + t.ty, iWidth)[t.tx] = sum;
    });
  }
};

// Columns of xPassData, unchanged, correlated with the 15 taps of `kernel` into oData:
//   oData(x, y) = sum over j = 0..14, in that order from 0, of k[j] * xPassData(x, y - 7 + j).
// Block 16 x 16; shared 1980 bytes (smem 30 x 16 floats: image rows 16 * by - 7 .. 16 * by + 22 of
// the tile columns; k 15 floats); 2 barriers. Writes exactly the tile's pixels.
struct GaussianSeparablePassY {
  static constexpr KernelId id = KernelId::gaussianSeparablePassY;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    float smem[TILE_SIZE + 2 * GAUSS_HALO][TILE_SIZE];
    float k[GAUSS_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* xPassData, float* oData, std::uint16_t iWidth,
                             std::uint16_t iHeight, const float* kernel) {
    const unsigned tileX = TILE_SIZE * block.bx;
    const unsigned tileY = TILE_SIZE * block.by;
    separable::stageColumnWindows(block, shared.smem, shared.k, xPassData, kernel, iWidth, iHeight);
    block.phase([&](Thread t) {
      float sum = 0.0f;
      for (unsigned j = 0; j < GAUSS_TAPS; ++j)
        sum = separable::mulThenAdd(shared.k[j], shared.smem[t.ty + j][t.tx], sum);
      separable::tileRow(oData, tileX, tileY + t.ty, iWidth)[t.tx] = sum;
    });
  }
};

}  // namespace quarlen
