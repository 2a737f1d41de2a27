// Image layouts and tile geometry shared by every kernel and by the host.
//
// ByteImage: the caller's bytes; planes one after another, each plane column by column. The byte
// of pixel (x, y) in plane p lies at y + x * iHeight + p * iWidth * iHeight.
// FloatImage and DirectionImage: one 4-byte element per pixel, row by row: element y * iWidth + x.
// Tile (bx, by) is the 16 x 16 pixels 16 * bx <= x < 16 * bx + 16, 16 * by <= y < 16 * by + 16,
// worked on by block (bx, by); thread (tx, ty) owns pixel (16 * bx + tx, 16 * by + ty). Only whole
// tiles are processed: x < wholeTileWidth and y < wholeTileHeight.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/block.h"

namespace quarlen {

// Rows and columns of a haloed tile: the tile with a ring one pixel wide around it.
inline constexpr unsigned HALO_TILE = TILE_SIZE + 2;

// Marks in the strength images.
inline constexpr float edgeMark = -2.0f;
inline constexpr float candidateMark = -1.0f;

// Byte offset of pixel (x, y) of plane p in a ByteImage.
QUARLEN_HD constexpr std::uint32_t byteOffset(std::uint32_t x, std::uint32_t y, std::uint32_t plane,
                                              std::uint32_t iWidth, std::uint32_t iHeight) {
  return y + x * iHeight + plane * iWidth * iHeight;
}

// Element of pixel (x, y) in a FloatImage or DirectionImage.
QUARLEN_HD constexpr std::uint32_t elementIndex(std::uint32_t x, std::uint32_t y, std::uint32_t iWidth) {
  return y * iWidth + x;
}

// Index into a transfer kernel's staging array: plane, then the tile row by row.
QUARLEN_HD constexpr unsigned stagingIndex(unsigned plane, unsigned column, unsigned row) {
  return plane * BLOCK_THREADS + row * TILE_SIZE + column;
}

// Thread t's own pixel in its block.
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::uint32_t pixelX(const Block& block, Thread t) {
  return TILE_SIZE * block.bx + t.tx;
}
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::uint32_t pixelY(const Block& block, Thread t) {
  return TILE_SIZE * block.by + t.ty;
}

// Element of thread t's own pixel in a float or direction image: elementIndex() of its pixel, formed
// in size_t as the row's start plus tx, so that the compiler sees consecutive tx reach consecutive
// elements and vectorises a CPU phase over them.
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::size_t pixelIndex(const Block& block, Thread t, std::uint32_t iWidth) {
  return static_cast<std::size_t>(pixelY(block, t)) * iWidth + std::size_t{TILE_SIZE} * block.bx + t.tx;
}

constexpr std::uint32_t wholeTiles(std::uint32_t pixels) { return pixels / TILE_SIZE; }
constexpr std::uint32_t wholeTileExtent(std::uint32_t pixels) { return wholeTiles(pixels) * TILE_SIZE; }

}  // namespace quarlen
