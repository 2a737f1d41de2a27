// The 3-tap separable Sobel passes. The schedule runs the pair twice over the grey image: derivative
// taps across columns and smoothing taps across rows give the horizontal gradient, smoothing taps
// across columns and derivative taps across rows the vertical one. The windows, the truncation of
// the horizontal pass and the zeros outside the image are those of the Gaussian passes, with a halo
// of one pixel.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"
#include "kernels/separable.h"

namespace quarlen {

inline constexpr unsigned SOBEL_TAPS = 3;

// Rows of formatData, truncated toward zero (t), filtered with the 3 taps of `kernel` into xPassData:
//   xPassData(x, y) = (k[1] * t(x, y) + k[0] * t(x - 1, y)) + k[2] * t(x + 1, y).
// Block 16 x 16; shared 1164 bytes (smem 16 x 18 integers: image columns 16 * bx - 1 .. 16 * bx + 16
// of the tile rows; k 3 floats); 2 barriers. iHeight is not read. Writes exactly the tile's pixels.
struct SobelSeparablePassX {
  static constexpr KernelId id = KernelId::sobelSeparablePassX;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    std::int32_t smem[TILE_SIZE][TILE_SIZE + 2];
    float k[SOBEL_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* formatData, float* xPassData,
                             std::uint16_t iWidth, std::uint16_t, const float* kernel) {
    const unsigned tileX = TILE_SIZE * block.bx;
    const unsigned tileY = TILE_SIZE * block.by;
    separable::stageRowWindows(block, shared.smem, shared.k, formatData, kernel, iWidth);
    block.phase([&](Thread t) {
      const std::int32_t* window = shared.smem[t.ty] + t.tx;
      float sum = static_cast<float>(window[1]) * shared.k[1];
      sum = separable::mulThenAdd(static_cast<float>(window[0]), shared.k[0], sum);
      sum = separable::mulThenAdd(static_cast<float>(window[2]), shared.k[2], sum);
      separable::tileRow(xPassData, tileX, tileY + t.ty, iWidth)[t.tx] = sum;
    });
  }
};

// Columns of xPassData, unchanged (p), filtered with the 3 taps of `kernel` into oData:
//   oData(x, y) = (k[1] * p(x, y) + k[0] * p(x, y - 1)) + k[2] * p(x, y + 1).
// Block 16 x 16; shared 1164 bytes (smem 18 x 16 floats: image rows 16 * by - 1 .. 16 * by + 16 of
// the tile columns; k 3 floats); 2 barriers. Writes exactly the tile's pixels.
struct SobelSeparablePassY {
  static constexpr KernelId id = KernelId::sobelSeparablePassY;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, const float*>;
  struct Shared {
    float smem[TILE_SIZE + 2][TILE_SIZE];
    float k[SOBEL_TAPS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* xPassData, float* oData, std::uint16_t iWidth,
                             std::uint16_t iHeight, const float* kernel) {
    const unsigned tileX = TILE_SIZE * block.bx;
    const unsigned tileY = TILE_SIZE * block.by;
    separable::stageColumnWindows(block, shared.smem, shared.k, xPassData, kernel, iWidth, iHeight);
    block.phase([&](Thread t) {
      float sum = shared.smem[t.ty + 1][t.tx] * shared.k[1];
      sum = separable::mulThenAdd(shared.k[0], shared.smem[t.ty][t.tx], sum);
      sum = separable::mulThenAdd(shared.k[2], shared.smem[t.ty + 2][t.tx], sum);
      separable::tileRow(oData, tileX, tileY + t.ty, iWidth)[t.tx] = sum;
    });
  }
};

}  // namespace quarlen
