// The 15-tap separable Gaussian passes, and the pieces that the separable passes share.
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

namespace quarlen {

inline constexpr unsigned GAUSS_TAPS = 15;
inline constexpr unsigned GAUSS_HALO = 7;

namespace separable {

// s + a * b with the product rounded to single precision before the addition: never fused, so
// that the CPU executor and the GPU agree bit for bit.
QUARLEN_HD QUARLEN_INLINE float mulThenAdd(float a, float b, float s) {
#if defined(__CUDA_ARCH__)
  return __fadd_rn(__fmul_rn(a, b), s);
#else
  return a * b + s;
#endif
}

// A float truncated toward zero to a whole number.
QUARLEN_HD QUARLEN_INLINE std::int32_t truncated(float value) { return static_cast<std::int32_t>(value); }

// Positions along a pass are signed (the halo of the first tile lies before the image) and are
// formed from signed terms, so that on the CPU they step evenly with tx and the loop over the 16
// threads of a row vectorises.
QUARLEN_HD QUARLEN_INLINE std::int32_t position(unsigned tileStart, unsigned offset, unsigned halo) {
  return static_cast<std::int32_t>(tileStart) + static_cast<std::int32_t>(offset) - static_cast<std::int32_t>(halo);
}

QUARLEN_HD QUARLEN_INLINE bool insideImage(std::int32_t position, std::uint32_t extent) {
  return position >= 0 && position < static_cast<std::int32_t>(extent);
}

// The first pixel of a tile's row y: thread tx reads or writes element [tx] of it.
QUARLEN_HD QUARLEN_INLINE const float* tileRow(const float* image, unsigned tileX, std::uint32_t y,
                                               std::uint32_t iWidth) {
  return image + elementIndex(tileX, y, iWidth);
}
QUARLEN_HD QUARLEN_INLINE float* tileRow(float* image, unsigned tileX, std::uint32_t y, std::uint32_t iWidth) {
  return image + elementIndex(tileX, y, iWidth);
}

// Pixel x of an image row, truncated toward zero; 0 outside the image.
QUARLEN_HD QUARLEN_INLINE std::int32_t truncatedOrZero(const float* row, std::int32_t x, std::uint32_t iWidth) {
  return insideImage(x, iWidth) ? truncated(row[x]) : 0;
}

// Pixel (tileX + tx, y) unchanged; 0 outside the image.
QUARLEN_HD QUARLEN_INLINE float pixelOrZero(const float* image, unsigned tileX, unsigned tx, std::int32_t y,
                                            std::uint32_t iWidth, std::uint32_t iHeight) {
  return insideImage(y, iHeight) ? tileRow(image, tileX, static_cast<std::uint32_t>(y), iWidth)[tx] : 0.0f;
}

// Window of a horizontal pass for tile row y: 16 + 2h integers, cell c holding image column
// 16 * bx - h + c truncated toward zero, or 0 outside the image. Thread tx fills cell tx and, while
// the window lasts, cell tx + 16; so one phase of the 16 threads of a row fills it.
template <unsigned Cells>
QUARLEN_HD QUARLEN_INLINE void fillRowWindow(std::int32_t (&window)[Cells], unsigned tx, const float* input,
                                             unsigned tileX, std::uint32_t y, std::uint32_t iWidth) {
  constexpr unsigned halo = (Cells - TILE_SIZE) / 2;
  const float* row = input + elementIndex(0, y, iWidth);
  const std::int32_t x = position(tileX, tx, halo);
  window[tx] = truncatedOrZero(row, x, iWidth);
  if (tx + TILE_SIZE < Cells)
    window[tx + TILE_SIZE] = truncatedOrZero(row, x + static_cast<std::int32_t>(TILE_SIZE), iWidth);
}

// Window of a vertical pass for tile column tx: 16 + 2h floats, row r holding image row
// 16 * by - h + r unchanged, or 0 outside the image. Thread ty fills row ty and, while the window
// lasts, row ty + 16.
template <unsigned Rows>
QUARLEN_HD QUARLEN_INLINE void fillColumnWindow(float (&window)[Rows][TILE_SIZE], Thread t, const float* input,
                                                unsigned tileX, unsigned tileY, std::uint32_t iWidth,
                                                std::uint32_t iHeight) {
  constexpr unsigned halo = (Rows - TILE_SIZE) / 2;
  const std::int32_t y = position(tileY, t.ty, halo);
  window[t.ty][t.tx] = pixelOrZero(input, tileX, t.tx, y, iWidth, iHeight);
  if (t.ty + TILE_SIZE < Rows)
    window[t.ty + TILE_SIZE][t.tx] =
        pixelOrZero(input, tileX, t.tx, y + static_cast<std::int32_t>(TILE_SIZE), iWidth, iHeight);
}

// The threads of row 0 copy the tap table into block-shared memory.
template <unsigned Taps>
QUARLEN_HD QUARLEN_INLINE void copyTaps(float (&k)[Taps], Thread t, const float* kernel) {
  if (t.ty == 0 && t.tx < Taps) k[t.tx] = kernel[t.tx];
}

}  // namespace separable

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
    block.phase([&](Thread t) {
      separable::fillRowWindow(shared.smem[t.ty], t.tx, formatData, tileX, tileY + t.ty, iWidth);
      separable::copyTaps(shared.k, t, kernel);
    });
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
    block.phase([&](Thread t) {
      separable::fillColumnWindow(shared.smem, t, xPassData, tileX, tileY, iWidth, iHeight);
      separable::copyTaps(shared.k, t, kernel);
    });
    block.phase([&](Thread t) {
      float sum = 0.0f;
      for (unsigned j = 0; j < GAUSS_TAPS; ++j)
        sum = separable::mulThenAdd(shared.k[j], shared.smem[t.ty + j][t.tx], sum);
      separable::tileRow(oData, tileX, tileY + t.ty, iWidth)[t.tx] = sum;
    });
  }
};

}  // namespace quarlen
