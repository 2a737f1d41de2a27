// Gradient strength and quantised direction, and non-maximum suppression.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kernels/direction.h"
#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

// The square root behind the gradient strength: the GPU's fast approximate root; on the CPU the
// correctly rounded one.
QUARLEN_HD QUARLEN_INLINE float strengthRoot(float s) {
#if defined(__CUDA_ARCH__)
  float root;
  asm("sqrt.approx.f32 %0, %1;" : "=f"(root) : "f"(s));
  return root;
#else
  return sqrtf(s);
#endif
}

// Length of the gradient: gy * gy, then gx * gx added by a fused multiply-add, then the root. For
// the whole-number gradients of the Sobel passes the sum is exact.
QUARLEN_HD QUARLEN_INLINE float gradientStrength(float gx, float gy) {
  float s = gy * gy;
  s = fmaf(gx, gx, s);
  return strengthRoot(s);
}

namespace gradient_detail {

// Strength of pixel (u, v), or 0.0 when u or v lies outside the image (both wrap to huge values
// when they step below 0).
QUARLEN_HD QUARLEN_INLINE float strengthOrZero(const float* gradStrength, std::uint32_t u, std::uint32_t v,
                                               std::uint32_t iWidth, std::uint32_t iHeight) {
  return (u < iWidth && v < iHeight) ? gradStrength[elementIndex(u, v, iWidth)] : 0.0f;
}

// The haloed tile: 18 x 18 cells, row by row. Cell (r, c) holds pixel (16 bx + c - 1, 16 by + r - 1);
// the thread's own pixel is cell (ty + 1, tx + 1).
QUARLEN_HD QUARLEN_INLINE unsigned haloCell(unsigned r, unsigned c) { return r * HALO_TILE + c; }

// One phase: fill the haloed tile, 0.0 for pixels outside the image. Every thread fills its own
// cell; the threads of the first and last tile rows fill the rows above and below, those of the
// first tile column both side columns, and the four corner threads the corner cells.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void loadHaloedTile(Block& block, float* tile, const float* gradStrength,
                                              std::uint32_t iWidth, std::uint32_t iHeight) {
  constexpr unsigned last = TILE_SIZE - 1;
  constexpr unsigned outer = HALO_TILE - 1;
  block.phase([&](Thread t) {
    const std::uint32_t px = pixelX(block, t);
    const std::uint32_t py = pixelY(block, t);
    const unsigned r = t.ty + 1;
    const unsigned c = t.tx + 1;
    tile[haloCell(r, c)] = gradStrength[pixelIndex(block, t, iWidth)];
    if (t.ty == 0) tile[haloCell(0, c)] = strengthOrZero(gradStrength, px, py - 1, iWidth, iHeight);
    if (t.ty == last) tile[haloCell(outer, c)] = strengthOrZero(gradStrength, px, py + 1, iWidth, iHeight);
    if (t.tx == 0) {
      tile[haloCell(r, 0)] = strengthOrZero(gradStrength, px - 1, py, iWidth, iHeight);
      tile[haloCell(r, outer)] = strengthOrZero(gradStrength, px + TILE_SIZE, py, iWidth, iHeight);
    }
    if (t.tx == 0 && t.ty == 0) tile[haloCell(0, 0)] = strengthOrZero(gradStrength, px - 1, py - 1, iWidth, iHeight);
    if (t.tx == last && t.ty == 0)
      tile[haloCell(0, outer)] = strengthOrZero(gradStrength, px + 1, py - 1, iWidth, iHeight);
    if (t.tx == 0 && t.ty == last)
      tile[haloCell(outer, 0)] = strengthOrZero(gradStrength, px - 1, py + 1, iWidth, iHeight);
    if (t.tx == last && t.ty == last)
      tile[haloCell(outer, outer)] = strengthOrZero(gradStrength, px + 1, py + 1, iWidth, iHeight);
  });
}

// The step (dx, dy) from a pixel to its first neighbour on the line of its direction code; the
// second neighbour is the opposite step. A code that is none of the four counts as 0, so that both
// neighbours always lie inside the haloed tile.
struct NeighbourStep {
  int dx;
  int dy;
};

QUARLEN_HD QUARLEN_INLINE NeighbourStep neighbourStep(std::uint32_t code) {
  const int dx = code == DIRECTION_VERTICAL ? 0 : code == DIRECTION_FALLING ? -1 : 1;
  const int dy = code == DIRECTION_VERTICAL ? 1 : (code == DIRECTION_RISING || code == DIRECTION_FALLING) ? -1 : 0;
  return {dx, dy};
}

}  // namespace gradient_detail

// gradX, gradY -> gradStrength, and gradDirection (codes 0, 45, 90, 135). One thread per pixel,
// no neighbours read.
// Block 16 x 16; shared 0 bytes; no barrier needed. On the CPU the codes of whole-number gradients
// in [-1020, 1020] are decided without the arc tangent in a second, branch-free phase; the first
// computes the strengths and the codes of all other gradients.
struct CannyGradientStrengthDirection {
  static constexpr KernelId id = KernelId::cannyGradientStrengthDirection;
  using Params = ParamList<const float*, const float*, std::uint16_t, std::uint16_t, float*, std::uint32_t*>;
  struct Shared {};
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared&, const float* gradX, const float* gradY, std::uint16_t iWidth,
                             std::uint16_t, float* gradStrength, std::uint32_t* gradDirection) {
#if defined(__CUDA_ARCH__)
    block.phase([&](Thread t) {
      const std::size_t i = pixelIndex(block, t, iWidth);
      const float gx = gradX[i];
      const float gy = gradY[i];
      gradStrength[i] = gradientStrength(gx, gy);
      gradDirection[i] = directionCode(gx, gy);
    });
#else
    block.phase([&](Thread t) {
      const std::size_t i = pixelIndex(block, t, iWidth);
      const float gx = gradX[i];
      const float gy = gradY[i];
      gradStrength[i] = gradientStrength(gx, gy);
      if (!areWholeGradients(gx, gy)) gradDirection[i] = directionCode(gx, gy);
    });
    // Selected with a mask rather than a branch, so that nothing in the body is conditional.
    block.phase([&](Thread t) {
      const std::size_t i = pixelIndex(block, t, iWidth);
      const float gx = gradX[i];
      const float gy = gradY[i];
      const std::uint32_t whole = 0u - static_cast<std::uint32_t>(areWholeGradients(gx, gy));
      gradDirection[i] = (wholeGradientCode(gx, gy) & whole) | (gradDirection[i] & ~whole);
    });
#endif
  }
};

// Non-maximum suppression: gradStrengthOut = the strength where it is strictly greater than both
// neighbours on the line of its direction code, else 0 (formed as flag * strength). Outside the
// image the neighbours count as 0.0; pixels beside the whole tiles but inside the image count with
// their strengths.
// Block 16 x 16; shared 1296 bytes (the 18 x 18 haloed tile); 1 barrier, between loading the tile
// and comparing.
struct CannyNonmaxSupression {
  static constexpr KernelId id = KernelId::cannyNonmaxSupression;
  using Params = ParamList<const std::uint32_t*, const float*, float*, std::uint16_t, std::uint16_t>;
  struct Shared {
    float sharedGradStrength[HALO_TILE * HALO_TILE];  // row by row
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const std::uint32_t* gradDirection,
                             const float* gradStrength, float* gradStrengthOut, std::uint16_t iWidth,
                             std::uint16_t iHeight) {
    float* tile = shared.sharedGradStrength;
    gradient_detail::loadHaloedTile(block, tile, gradStrength, iWidth, iHeight);
    block.phase([&](Thread t) {
      const std::size_t i = pixelIndex(block, t, iWidth);
      const gradient_detail::NeighbourStep step = gradient_detail::neighbourStep(gradDirection[i]);
      // Neighbour A lies `offset` cells after the own cell, neighbour B as many before it.
      const int offset = step.dy * static_cast<int>(HALO_TILE) + step.dx;
      const float* cell = tile + gradient_detail::haloCell(t.ty + 1, t.tx + 1);
      const float own = cell[0];
      const float a = cell[offset];
      const float b = cell[-offset];
      // Strictly above both, false whenever a NaN takes part; no branch, so the loop vectorises.
      const float keep = static_cast<float>((own > a) & (own > b));
      gradStrengthOut[i] = keep * own;
    });
  }
};

}  // namespace quarlen
