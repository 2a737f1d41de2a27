// The pieces that the separable passes (Gaussian and Sobel) share: their block-shared windows,
// truncation, and the unfused multiply-add of their sums.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"

namespace quarlen {

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

// One phase: the windows of a horizontal pass for every tile row, and the taps.
template <class Block, unsigned Cells, unsigned Taps>
QUARLEN_HD QUARLEN_INLINE void stageRowWindows(Block& block, std::int32_t (&smem)[TILE_SIZE][Cells], float (&k)[Taps],
                                               const float* input, const float* kernel, std::uint32_t iWidth) {
  const unsigned tileX = TILE_SIZE * block.bx;
  const unsigned tileY = TILE_SIZE * block.by;
  block.phase([&](Thread t) {
    fillRowWindow(smem[t.ty], t.tx, input, tileX, tileY + t.ty, iWidth);
    copyTaps(k, t, kernel);
  });
}

// One phase: the window of a vertical pass for every tile column, and the taps.
template <class Block, unsigned Rows, unsigned Taps>
QUARLEN_HD QUARLEN_INLINE void stageColumnWindows(Block& block, float (&smem)[Rows][TILE_SIZE], float (&k)[Taps],
                                                  const float* input, const float* kernel, std::uint32_t iWidth,
                                                  std::uint32_t iHeight) {
  const unsigned tileX = TILE_SIZE * block.bx;
  const unsigned tileY = TILE_SIZE * block.by;
  block.phase([&](Thread t) {
    fillColumnWindow(smem, t, input, tileX, tileY, iWidth, iHeight);
    copyTaps(k, t, kernel);
  });
}

}  // namespace separable

}  // namespace quarlen
