// Hysteresis: block-synchronous sweeps, and the candidate-list alternative.
//
// Both kernels work on one 16 x 16 tile per block, staged with a one-pixel halo in an 18 x 18
// block-shared array: cell (r, c) stands for pixel (16 * bx + c - 1, 16 * by + r - 1), the interior
// cell (ty + 1, tx + 1) belongs to thread (tx, ty) and the outer ring is the halo, which no thread
// owns and which is never written back. Each pixel of the tile is classified against the two
// thresholds (edgeMark above the high one, candidateMark above the low one, 0 for the other positive
// values, anything else kept as it is), then edges grow from edgeMark cells through 8-connected
// candidateMark cells. A block sees its neighbours' pixels only as they were at the start of the
// launch, so an edge crosses a tile border only from one launch (pass) to the next, through the halo.
//
// Every comparison is in single precision and fails for NaN: a NaN pixel stays NaN, never becomes a
// mark and never converts a neighbour; a NaN threshold classifies nothing on its side.
#pragma once

#include <cstdint>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

inline constexpr unsigned MAX_SWEEPS = 128;
inline constexpr unsigned LIST_CAPACITY = 128;

namespace hysteresis_detail {

using HaloTile = float[HALO_TILE][HALO_TILE];

inline constexpr unsigned LAST = TILE_SIZE - 1;

// Three phases: the interior with the top and bottom halo rows, then the left and right halo
// columns, then the four halo corners. A halo cell is read from the image only where it lies in a
// whole tile of the grid, else it holds 0: the right and bottom loaders sit on the tile's last
// column and row, so x + 16 < iWidth (y + 16 < iHeight) holds exactly when the next tile is whole.
// Only pixels of whole tiles are read.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void loadHaloTile(Block& block, HaloTile& tile, const float* gradStrength,
                                            std::uint32_t iWidth, std::uint32_t iHeight) {
  block.phase([&](Thread t) {
    const std::uint32_t x = pixelX(block, t);
    const std::uint32_t y = pixelY(block, t);
    tile[t.ty + 1][t.tx + 1] = gradStrength[pixelIndex(block, t, iWidth)];
    if (t.ty == 0) tile[0][t.tx + 1] = y != 0 ? gradStrength[elementIndex(x, y - 1, iWidth)] : 0.0f;
    if (t.ty == LAST)
      tile[HALO_TILE - 1][t.tx + 1] = y + TILE_SIZE < iHeight ? gradStrength[elementIndex(x, y + 1, iWidth)] : 0.0f;
  });
  block.phase([&](Thread t) {
    const std::uint32_t x = pixelX(block, t);
    const std::uint32_t y = pixelY(block, t);
    if (t.tx == 0) tile[t.ty + 1][0] = x != 0 ? gradStrength[elementIndex(x - 1, y, iWidth)] : 0.0f;
    if (t.tx == LAST)
      tile[t.ty + 1][HALO_TILE - 1] = x + TILE_SIZE < iWidth ? gradStrength[elementIndex(x + 1, y, iWidth)] : 0.0f;
  });
  block.phase([&](Thread t) {
    if ((t.tx != 0 && t.tx != LAST) || (t.ty != 0 && t.ty != LAST)) return;
    const std::uint32_t x = pixelX(block, t);
    const std::uint32_t y = pixelY(block, t);
    const bool right = t.tx == LAST;
    const bool below = t.ty == LAST;
    const bool across = right ? x + TILE_SIZE < iWidth : x != 0;
    const bool over = below ? y + TILE_SIZE < iHeight : y != 0;
    const std::uint32_t sx = right ? x + 1 : x - 1;
    const std::uint32_t sy = below ? y + 1 : y - 1;
    tile[below ? HALO_TILE - 1 : 0][right ? HALO_TILE - 1 : 0] =
        across && over ? gradStrength[elementIndex(sx, sy, iWidth)] : 0.0f;
  });
}

// On the CPU a worker goes along a row of tiles; the rows of the tile two places ahead are asked
// for now, in the input and in the output, which would otherwise wait for memory row by row. The
// GPU hides that latency with other blocks.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void prefetchTilesAhead(const Block& block, const float* input, const float* output,
                                                  std::uint32_t iWidth) {
#if defined(__CUDA_ARCH__)
  (void)block, (void)input, (void)output, (void)iWidth;
#else
  const std::size_t ahead = std::size_t{TILE_SIZE} * (block.bx + 2);
  if (ahead + TILE_SIZE > iWidth) return;
  for (unsigned row = 0; row < TILE_SIZE; ++row) {
    const std::size_t element = (std::size_t{TILE_SIZE} * block.by + row) * iWidth + ahead;
    __builtin_prefetch(input + element);
    __builtin_prefetch(output + element, 1);
  }
#endif
}

// The class of a pixel value: edgeMark above `high`, else candidateMark above `low`, else 0 when
// positive, else the value itself (0, negative values, marks of an earlier pass, NaN).
QUARLEN_HD QUARLEN_INLINE float classify(float v, float low, float high) {
  return v > high ? edgeMark : v > low ? candidateMark : v > 0.0f ? 0.0f : v;
}

// Two phases: every thread reads its own cell, then writes its class. The halo keeps the values as
// loaded.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void classifyTile(Block& block, HaloTile& tile, float thresholdLow, float thresholdHigh) {
  PerThread<Block, float> value;
  block.phase([&](Thread t) { value[t] = tile[t.ty + 1][t.tx + 1]; });
  block.phase([&](Thread t) { tile[t.ty + 1][t.tx + 1] = classify(value[t], thresholdLow, thresholdHigh); });
}

// True when cell (r, c) holds candidateMark and one of its eight neighbours, halo included, holds
// edgeMark. Written without short cuts so that a phase of it vectorises.
QUARLEN_HD QUARLEN_INLINE bool touchesEdge(const HaloTile& tile, unsigned r, unsigned c) {
  const bool above = (tile[r - 1][c - 1] == edgeMark) | (tile[r - 1][c] == edgeMark) | (tile[r - 1][c + 1] == edgeMark);
  const bool level = (tile[r][c - 1] == edgeMark) | (tile[r][c + 1] == edgeMark);
  const bool below = (tile[r + 1][c - 1] == edgeMark) | (tile[r + 1][c] == edgeMark) | (tile[r + 1][c + 1] == edgeMark);
  return (tile[r][c] == candidateMark) & (above | level | below);
}

// One halving step of blockCount: the threads i < Offset add cell i + Offset into cell i. Offset
// is a whole number of rows or a part of row 0, so the test reads ty alone or ty and tx, and on the
// CPU the test on ty moves out of the vectorised loop over tx: a step costs only its active rows.
template <unsigned Offset, class Block>
QUARLEN_HD QUARLEN_INLINE void addUpperHalf(Block& block, std::int32_t* cells) {
  static_assert(Offset % TILE_SIZE == 0 || Offset < TILE_SIZE, "a halving step covers whole rows or part of row 0");
  block.phase([&](Thread t) {
    const bool adds = Offset >= TILE_SIZE ? t.ty < Offset / TILE_SIZE : t.ty == 0 && t.tx < Offset;
    if (adds) cells[t.linear()] += cells[t.linear() + Offset];
  });
}

// Block-wide count as a tree: sums the 256 cells of `cells` into cell 0 in eight halving steps, then every
// thread reads it. Each step is its own phase, so no cell is read in the step that writes it: the
// sum is exact in every thread order and on hardware that does not run a warp in lockstep. The
// final read ends in a barrier, so the cells may be rewritten as soon as it returns. 9 barriers.
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::int32_t treeCount(Block& block, std::int32_t* cells) {
  static_assert(BLOCK_THREADS == 256, "eight halving steps");
  addUpperHalf<128>(block, cells);
  addUpperHalf<64>(block, cells);
  addUpperHalf<32>(block, cells);
  addUpperHalf<16>(block, cells);
  addUpperHalf<8>(block, cells);
  addUpperHalf<4>(block, cells);
  addUpperHalf<2>(block, cells);
  addUpperHalf<1>(block, cells);
  return block.uniform([&] { return cells[0]; });
}

// The exact number of set flags among the 256 cells, read by every thread: on the GPU the tree
// above; on the CPU, where the threads of a block run one after another on one worker, the same sum
// in one pass over the cells, which costs a fraction of eight phases.
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::int32_t blockCount(Block& block, std::int32_t* cells) {
#if defined(__CUDA_ARCH__)
  return treeCount(block, cells);
#else
  return block.uniform([&] {
    std::int32_t count = 0;
    for (unsigned i = 0; i < BLOCK_THREADS; ++i) count += cells[i];
    return count;
  });
#endif
}

// One phase: every thread writes its own cell into its pixel of `gradStrengthOut`.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void writeTile(Block& block, const HaloTile& tile, float* gradStrengthOut,
                                         std::uint32_t iWidth) {
  block.phase([&](Thread t) { gradStrengthOut[pixelIndex(block, t, iWidth)] = tile[t.ty + 1][t.tx + 1]; });
}

// A thread's breadth-first queue of tile cells: entry k is row list_0[2k], column list_0[2k + 1].
struct TraceList {
  std::uint8_t list_0[2 * LIST_CAPACITY];
  std::uint16_t count;
};

// Traces run concurrently over the shared tile on the GPU: every access goes to memory afresh.
QUARLEN_HD QUARLEN_INLINE float loadTraced(const float& cell) { return *static_cast<const volatile float*>(&cell); }
QUARLEN_HD QUARLEN_INLINE void storeTraced(float& cell, float value) { *static_cast<volatile float*>(&cell) = value; }

QUARLEN_HD QUARLEN_INLINE unsigned clampToTile(int i) {
  return static_cast<unsigned>(i < 0 ? 0 : i > static_cast<int>(HALO_TILE - 1) ? static_cast<int>(HALO_TILE - 1) : i);
}

// Appends cell (r, c), clamped into the haloed tile, when it holds candidateMark and the list has
// room.
QUARLEN_HD QUARLEN_INLINE void appendCandidate(const HaloTile& tile, TraceList& list, int r, int c) {
  const unsigned row = clampToTile(r);
  const unsigned column = clampToTile(c);
  if (list.count >= LIST_CAPACITY || loadTraced(tile[row][column]) != candidateMark) return;
  list.list_0[2 * list.count] = static_cast<std::uint8_t>(row);
  list.list_0[2 * list.count + 1] = static_cast<std::uint8_t>(column);
  ++list.count;
}

// Works through a thread's list: each entry taken is marked edgeMark and, while the list has room,
// its candidate neighbours are appended (right, left, below, above, below-right, above-right,
// below-left, above-left). A cell is marked when taken, not when appended, so it may stand in the
// list more than once; every copy is taken. Once full, the list is only worked off.
QUARLEN_HD QUARLEN_INLINE void trace(HaloTile& tile, TraceList& list) {
  for (unsigned i = 0; i < list.count; ++i) {
    const int r = list.list_0[2 * i];
    const int c = list.list_0[2 * i + 1];
    storeTraced(tile[r][c], edgeMark);
    if (list.count >= LIST_CAPACITY) continue;
    appendCandidate(tile, list, r, c + 1);
    appendCandidate(tile, list, r, c - 1);
    appendCandidate(tile, list, r + 1, c);
    appendCandidate(tile, list, r - 1, c);
    appendCandidate(tile, list, r + 1, c + 1);
    appendCandidate(tile, list, r - 1, c + 1);
    appendCandidate(tile, list, r + 1, c - 1);
    appendCandidate(tile, list, r - 1, c - 1);
  }
}

}  // namespace hysteresis_detail

// One hysteresis pass in synchronous sweeps: load the haloed tile, classify it, then sweep until a
// sweep converts nothing or MAX_SWEEPS sweeps have run, and write the tile to gradStrengthOut. In a
// sweep every candidate next to an edgeMark cell (halo included) becomes edgeMark, all examinations
// before any conversion, so a sweep grows the edges by one cell: a candidate k steps from an edge
// converts in sweep k, and a pass runs one sweep more than its farthest conversion, at most
// MAX_SWEEPS. A shortest path holds at most two cells of any 2 x 2 square, so at most 128 cells of
// the tile: no candidate lies more than 128 steps from an edge and the limit never stops a
// conversion, it only bounds the loop. Every whole-tile element of gradStrengthOut is written
// once; gradStrength must be a different image.
// Block 16 x 16; shared 2320 bytes; 6 barriers, plus 11 per sweep on the GPU (1 to 128 sweeps).
struct CannyHysteresisBlockShared {
  static constexpr KernelId id = KernelId::cannyHysteresisBlockShared;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, float, float>;
  struct Shared {
    float sharedGradStrength[HALO_TILE][HALO_TILE];
    std::int32_t sharedModfied[BLOCK_THREADS];  // 1 where a thread's cell converted in this sweep
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* gradStrength, float* gradStrengthOut,
                             std::uint16_t iWidth, std::uint16_t iHeight, float thresholdLow, float thresholdHigh) {
    using namespace hysteresis_detail;
    HaloTile& tile = shared.sharedGradStrength;
    std::int32_t* modified = shared.sharedModfied;
    prefetchTilesAhead(block, gradStrength, gradStrengthOut, iWidth);
    loadHaloTile(block, tile, gradStrength, iWidth, iHeight);
    classifyTile(block, tile, thresholdLow, thresholdHigh);
    for (unsigned sweep = 0; sweep < MAX_SWEEPS; ++sweep) {
      // Examine: every flag is rewritten, so none needs clearing first.
      block.phase([&](Thread t) { modified[t.linear()] = touchesEdge(tile, t.ty + 1, t.tx + 1) ? 1 : 0; });
      block.phase([&](Thread t) {
        float& cell = tile[t.ty + 1][t.tx + 1];
        cell = modified[t.linear()] != 0 ? edgeMark : cell;
      });
      if (blockCount(block, modified) == 0) break;
    }
    writeTile(block, tile, gradStrengthOut, iWidth);
  }
};

// One hysteresis pass by candidate lists: load and classify as cannyHysteresisBlockShared, then
// every candidate next to an edgeMark cell (a seed) traces the candidates connected to it
// breadth-first with its own list of at most LIST_CAPACITY cells, marking each cell it takes, all
// traces at once over the shared tile. Traces may run through halo candidates and back into the
// tile; halo cells are never written back. While no list fills, every candidate connected to a seed
// converts in one launch whatever the order of the threads; when one fills, the candidates it drops
// stay candidateMark unless another trace reaches them.
// Block 16 x 16; shared 1296 bytes; per thread 258 bytes; 8 barriers.
struct CannyHysteresisBlock {
  static constexpr KernelId id = KernelId::cannyHysteresisBlock;
  using Params = ParamList<const float*, float*, std::uint16_t, std::uint16_t, float, float>;
  struct Shared {
    float sharedGradStrength[HALO_TILE][HALO_TILE];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* gradStrength, float* gradStrengthOut,
                             std::uint16_t iWidth, std::uint16_t iHeight, float thresholdLow, float thresholdHigh) {
    using namespace hysteresis_detail;
    HaloTile& tile = shared.sharedGradStrength;
    loadHaloTile(block, tile, gradStrength, iWidth, iHeight);
    classifyTile(block, tile, thresholdLow, thresholdHigh);
    PerThread<Block, TraceList> lists;
    block.phase([&](Thread t) {
      TraceList& list = lists[t];
      list.count = 0;
      if (!touchesEdge(tile, t.ty + 1, t.tx + 1)) return;
      list.list_0[0] = static_cast<std::uint8_t>(t.ty + 1);
      list.list_0[1] = static_cast<std::uint8_t>(t.tx + 1);
      list.count = 1;
    });
    block.phase([&](Thread t) { trace(tile, lists[t]); });
    writeTile(block, tile, gradStrengthOut, iWidth);
  }
};

}  // namespace quarlen
