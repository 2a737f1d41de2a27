// Image layouts and tile geometry shared by every kernel and by the host.
//
// ByteImage: the caller's bytes; planes one after another, each plane column by column. The byte
// of pixel (x, y) in plane p lies at y + x * iHeight + p * iWidth * iHeight.
// FloatImage and DirectionImage: one 4-byte element per pixel, row by row: element y * iWidth + x.
// Tile (bx, by) is the 16 x 16 pixels 16 * bx <= x < 16 * bx + 16, 16 * by <= y < 16 * by + 16,
// worked on by block (bx, by); thread (tx, ty) owns pixel (16 * bx + tx, 16 * by + ty). Only whole
// tiles are processed: x < wholeTileWidth and y < wholeTileHeight.
#pragma once

#include <cstdint>

#include "kernels/block.h"

namespace quarlen {

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

// Index into a transfer kernel's staging array: plane, column within the tile, row within the tile.
QUARLEN_HD constexpr unsigned stagingIndex(unsigned plane, unsigned column, unsigned row) {
  return plane * BLOCK_THREADS + column * TILE_SIZE + row;
}

constexpr std::uint32_t wholeTiles(std::uint32_t pixels) { return pixels / TILE_SIZE; }
constexpr std::uint32_t wholeTileExtent(std::uint32_t pixels) { return wholeTiles(pixels) * TILE_SIZE; }

}  // namespace quarlen
