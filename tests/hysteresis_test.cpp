// The hysteresis kernels: classification, synchronous sweeps within a tile, edges crossing one tile
// border per pass, the candidate-list traces and their cap, against a plain per-tile gold.
#include "kernels/hysteresis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/cpu/cpu_block.h"
#include "runtime/cpu/executor.h"
#include "support/fixtures.h"

namespace quarlen {
namespace {

using cpu::CpuExecutor;
using cpu::ThreadOrder;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
// What the output holds where no kernel writes.
constexpr float UNWRITTEN = 12345.0f;

using testing::Image;

bool sameValue(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  std::uint32_t ba = 0;
  std::uint32_t bb = 0;
  std::memcpy(&ba, &a, sizeof a);
  std::memcpy(&bb, &b, sizeof b);
  return ba == bb;
}

::testing::AssertionResult sameImage(const Image& actual, const Image& expected) {
  for (unsigned y = 0; y < expected.height; ++y)
    for (unsigned x = 0; x < expected.width; ++x)
      if (!sameValue(actual.at(x, y), expected.at(x, y)))
        return ::testing::AssertionFailure()
               << "first difference at (" << x << ", " << y << "): " << actual.at(x, y) << " instead of "
               << expected.at(x, y) << ", image " << expected.width << " x " << expected.height;
  return ::testing::AssertionSuccess();
}

// One launch of `Kernel` over the whole tiles of `input`.
template <class Kernel>
Image runPass(CpuExecutor& executor, const Image& input, float low, float high) {
  Image output(input.width, input.height, UNWRITTEN);
  executor.runGrid<Kernel>(Dim3{wholeTiles(input.width), wholeTiles(input.height), 1},
                           static_cast<const float*>(input.pixels.data()), output.pixels.data(),
                           static_cast<std::uint16_t>(input.width), static_cast<std::uint16_t>(input.height), low,
                           high);
  return output;
}

// Passes as the schedule runs them: each starts from a copy of the whole output of the one before.
template <class Kernel>
std::vector<Image> runPasses(CpuExecutor& executor, const Image& input, float low, float high, int passes) {
  std::vector<Image> results;
  Image current = input;
  for (int p = 0; p < passes; ++p) {
    results.push_back(runPass<Kernel>(executor, current, low, high));
    current = results.back();
  }
  return results;
}

// ---- The gold: one tile at a time, with plain loops and a queue. ----

using Tile = std::array<std::array<float, HALO_TILE>, HALO_TILE>;

float goldClass(float v, float low, float high) {
  if (v > high) return edgeMark;
  if (v > low) return candidateMark;
  if (v > 0.0f) return 0.0f;
  return v;
}

// Tile (bx, by) with its one-pixel ring, classified inside; ring pixels are read where they lie in
// whole tiles, else 0.
Tile classifiedTile(const Image& image, unsigned bx, unsigned by, float low, float high) {
  Tile tile{};
  for (int r = 0; r < static_cast<int>(HALO_TILE); ++r)
    for (int c = 0; c < static_cast<int>(HALO_TILE); ++c) {
      const int x = static_cast<int>(TILE_SIZE * bx) + c - 1;
      const int y = static_cast<int>(TILE_SIZE * by) + r - 1;
      const bool interior = r >= 1 && r <= static_cast<int>(TILE_SIZE) && c >= 1 && c <= static_cast<int>(TILE_SIZE);
      const float v = image.inWholeTile(x, y) ? image.at(static_cast<unsigned>(x), static_cast<unsigned>(y)) : 0.0f;
      tile[r][c] = interior ? goldClass(v, low, high) : v;
    }
  return tile;
}

bool isInterior(int r, int c) {
  return r >= 1 && r <= static_cast<int>(TILE_SIZE) && c >= 1 && c <= static_cast<int>(TILE_SIZE);
}

template <class Visit>
void forNeighbours(int r, int c, Visit&& visit) {
  for (int dr = -1; dr <= 1; ++dr)
    for (int dc = -1; dc <= 1; ++dc) {
      const int nr = r + dr;
      const int nc = c + dc;
      if ((dr != 0 || dc != 0) && nr >= 0 && nc >= 0 && nr < static_cast<int>(HALO_TILE) &&
          nc < static_cast<int>(HALO_TILE))
        visit(nr, nc);
    }
}

// Steps from the nearest edgeMark cell (ring included) through interior candidates; -1 where none.
std::array<std::array<int, HALO_TILE>, HALO_TILE> edgeDistances(const Tile& tile) {
  std::array<std::array<int, HALO_TILE>, HALO_TILE> distance{};
  std::deque<std::pair<int, int>> queue;
  for (int r = 0; r < static_cast<int>(HALO_TILE); ++r)
    for (int c = 0; c < static_cast<int>(HALO_TILE); ++c) {
      distance[r][c] = tile[r][c] == edgeMark ? 0 : -1;
      if (tile[r][c] == edgeMark) queue.emplace_back(r, c);
    }
  while (!queue.empty()) {
    const auto [r, c] = queue.front();
    queue.pop_front();
    forNeighbours(r, c, [&](int nr, int nc) {
      if (isInterior(nr, nc) && tile[nr][nc] == candidateMark && distance[nr][nc] < 0) {
        distance[nr][nc] = distance[r][c] + 1;
        queue.emplace_back(nr, nc);
      }
    });
  }
  return distance;
}

// A sweep pass converts every candidate at most MAX_SWEEPS steps from an edge in its tile.
Image goldSweepPass(const Image& input, float low, float high) {
  Image output(input.width, input.height, UNWRITTEN);
  for (unsigned by = 0; by < wholeTiles(input.height); ++by)
    for (unsigned bx = 0; bx < wholeTiles(input.width); ++bx) {
      const Tile tile = classifiedTile(input, bx, by, low, high);
      const auto distance = edgeDistances(tile);
      for (unsigned r = 1; r <= TILE_SIZE; ++r)
        for (unsigned c = 1; c <= TILE_SIZE; ++c) {
          const bool converts = distance[r][c] > 0 && distance[r][c] <= static_cast<int>(MAX_SWEEPS);
          output.at(TILE_SIZE * bx + c - 1, TILE_SIZE * by + r - 1) = converts ? edgeMark : tile[r][c];
        }
    }
  return output;
}

// A list pass converts every interior cell connected through candidates (ring included) to a seed,
// an interior candidate next to an edge.
Image goldListPass(const Image& input, float low, float high) {
  Image output(input.width, input.height, UNWRITTEN);
  for (unsigned by = 0; by < wholeTiles(input.height); ++by)
    for (unsigned bx = 0; bx < wholeTiles(input.width); ++bx) {
      const Tile tile = classifiedTile(input, bx, by, low, high);
      std::array<std::array<bool, HALO_TILE>, HALO_TILE> reached{};
      std::deque<std::pair<int, int>> queue;
      for (int r = 1; r <= static_cast<int>(TILE_SIZE); ++r)
        for (int c = 1; c <= static_cast<int>(TILE_SIZE); ++c) {
          if (tile[r][c] != candidateMark) continue;
          bool seed = false;
          forNeighbours(r, c, [&](int nr, int nc) { seed = seed || tile[nr][nc] == edgeMark; });
          if (seed) reached[r][c] = true, queue.emplace_back(r, c);
        }
      while (!queue.empty()) {
        const auto [r, c] = queue.front();
        queue.pop_front();
        forNeighbours(r, c, [&](int nr, int nc) {
          if (tile[nr][nc] == candidateMark && !reached[nr][nc]) reached[nr][nc] = true, queue.emplace_back(nr, nc);
        });
      }
      for (unsigned r = 1; r <= TILE_SIZE; ++r)
        for (unsigned c = 1; c <= TILE_SIZE; ++c)
          output.at(TILE_SIZE * bx + c - 1, TILE_SIZE * by + r - 1) = reached[r][c] ? edgeMark : tile[r][c];
    }
  return output;
}

template <class Gold>
std::vector<Image> goldPasses(const Image& input, float low, float high, int passes, Gold gold) {
  std::vector<Image> results;
  Image current = input;
  for (int p = 0; p < passes; ++p) {
    results.push_back(gold(current, low, high));
    current = results.back();
  }
  return results;
}

// Seeded strengths around the thresholds 3 and 7, with NaN, negative values, marks and the
// thresholds themselves sprinkled in; `strong` and `between` are the shares above 7 and in (3, 7).
Image randomStrengths(unsigned width, unsigned height, std::uint32_t seed, double strong, double between) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  std::uniform_real_distribution<float> high(7.0f, 20.0f);
  std::uniform_real_distribution<float> middle(3.0f, 7.0f);
  std::uniform_real_distribution<float> low(0.0f, 3.0f);
  const std::array<float, 7> odd = {NaN, -5.0f, edgeMark, candidateMark, 3.0f, 7.0f, -0.0f};
  Image image(width, height);
  for (float& v : image.pixels) {
    const double u = share(random);
    if (u < 0.03)
      v = odd[random() % odd.size()];
    else if (u < 0.03 + strong)
      v = std::nextafter(high(random), 100.0f);
    else if (u < 0.03 + strong + between)
      v = std::nextafter(middle(random), 100.0f);
    else
      v = u < 0.8 ? 0.0f : low(random);
  }
  return image;
}

// Seeded strengths whose candidates (values in (3, 7]) form thin trees: no candidate joins two
// others that are already connected, not even through a diagonal, and none has a candidate next
// to it along a row or column that is the ring of some tile. A trace then never meets a cell
// twice, so no list fills. No marks in the input: the first pass sees none on the ring either.
Image randomTrees(unsigned width, unsigned height, std::uint32_t seed, double strong, double between) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  Image image(width, height);
  std::vector<bool> candidate(image.pixels.size(), false);
  const auto isCandidate = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < static_cast<int>(width) && y < static_cast<int>(height) &&
           candidate[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
  };
  const auto onRingRow = [](int i) {
    return i % static_cast<int>(TILE_SIZE) == 0 || i % static_cast<int>(TILE_SIZE) == 15;
  };
  std::vector<std::size_t> order(image.pixels.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  for (std::size_t i : order) {
    if (share(random) >= between) continue;
    const int x = static_cast<int>(i % width);
    const int y = static_cast<int>(i / width);
    unsigned neighbours = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) neighbours += (dx != 0 || dy != 0) && isCandidate(x + dx, y + dy);
    const bool alongRow = onRingRow(y) && (isCandidate(x - 1, y) || isCandidate(x + 1, y));
    const bool alongColumn = onRingRow(x) && (isCandidate(x, y - 1) || isCandidate(x, y + 1));
    candidate[i] = neighbours <= 1 && !alongRow && !alongColumn;
  }
  std::uniform_real_distribution<float> high(7.0f, 20.0f);
  std::uniform_real_distribution<float> middle(3.0f, 7.0f);
  const std::array<float, 3> odd = {NaN, -5.0f, 3.0f};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const double u = share(random);
    if (candidate[i])
      image.pixels[i] = u < 0.1 ? 7.0f : std::nextafter(middle(random), 100.0f);
    else if (u < strong)
      image.pixels[i] = std::nextafter(high(random), 100.0f);
    else if (u < strong + 0.02)
      image.pixels[i] = odd[random() % odd.size()];
    else
      image.pixels[i] = 0.0f;
  }
  return image;
}

struct Size {
  unsigned width;
  unsigned height;
};

// Awkward sizes: less than a tile, one tile, a ragged margin on one or both sides, several tiles.
constexpr std::array<Size, 8> SIZES = {
    {{16, 16}, {17, 33}, {40, 37}, {47, 16}, {15, 40}, {64, 50}, {33, 81}, {80, 64}}};

// ---- Classification ----

struct ClassCase {
  const char* name;
  float low;
  float high;
  float value;
  float expected;
};

const ClassCase CLASS_CASES[] = {
    {"at the high threshold: candidate", 3.0f, 7.0f, 7.0f, candidateMark},
    {"just above the high threshold: edge", 3.0f, 7.0f, std::nextafter(7.0f, 8.0f), edgeMark},
    {"between: candidate", 3.0f, 7.0f, 5.0f, candidateMark},
    {"at the low threshold: 0", 3.0f, 7.0f, 3.0f, 0.0f},
    {"below the low threshold: 0", 3.0f, 7.0f, 2.0f, 0.0f},
    {"0 stays", 3.0f, 7.0f, 0.0f, 0.0f},
    {"negative stays", 3.0f, 7.0f, -5.0f, -5.0f},
    {"NaN stays", 3.0f, 7.0f, NaN, NaN},
    {"earlier edge mark stays", 3.0f, 7.0f, edgeMark, edgeMark},
    {"earlier candidate mark stays", 3.0f, 7.0f, candidateMark, candidateMark},
    {"negative high threshold: 0 is an edge", -1.5f, -0.5f, 0.0f, edgeMark},
    {"low below -2: an edge mark becomes a candidate", -3.0f, -2.0f, edgeMark, candidateMark},
    {"low below -2: a candidate mark becomes an edge", -3.0f, -2.0f, candidateMark, edgeMark},
    {"NaN high threshold: no edge", 3.0f, NaN, 100.0f, candidateMark},
    {"NaN low threshold: no candidate", NaN, 7.0f, 5.0f, 0.0f},
    {"NaN low threshold: edges still", NaN, 7.0f, 100.0f, edgeMark},
    {"low above high: no candidate", 7.0f, 3.0f, 5.0f, edgeMark},
    {"low above high: below both", 7.0f, 3.0f, 2.0f, 0.0f},
};

template <class Kernel>
void expectClasses() {
  CpuExecutor executor({.workers = 1});
  for (const ClassCase& test : CLASS_CASES) {
    // NaN all around: it never converts, so the pixel shows its class alone.
    Image input(16, 16, NaN);
    input.at(6, 9) = test.value;
    const Image output = runPass<Kernel>(executor, input, test.low, test.high);
    EXPECT_TRUE(sameValue(output.at(6, 9), test.expected))
        << kernelName(Kernel::id) << ": " << test.name << ": " << output.at(6, 9);
    EXPECT_TRUE(std::isnan(output.at(5, 9)) && std::isnan(output.at(7, 10))) << test.name;
  }
}

TEST(Hysteresis, ClassifiesAgainstBothThresholdsIncludingNegativeAndNaN) {
  expectClasses<CannyHysteresisBlockShared>();
  expectClasses<CannyHysteresisBlock>();
}

TEST(Hysteresis, WithNothingAboveTheHighThresholdThereAreNoEdges) {
  CpuExecutor executor({.workers = 1});
  Image input(48, 32);
  std::mt19937 random(11);
  std::uniform_real_distribution<float> strength(0.0f, 7.0f);
  for (float& v : input.pixels) v = strength(random);
  input.at(20, 20) = 7.0f;
  for (const Image& output : {runPass<CannyHysteresisBlockShared>(executor, input, 3.0f, 7.0f),
                              runPass<CannyHysteresisBlock>(executor, input, 3.0f, 7.0f)})
    for (std::size_t i = 0; i < input.pixels.size(); ++i)
      ASSERT_EQ(output.pixels[i], input.pixels[i] > 3.0f ? candidateMark : 0.0f) << "element " << i;
}

// ---- The change count ----

// Every thread of block b writes the tree count of flags b * 256 .. b * 256 + 255.
struct TreeCountKernel {
  struct Shared {
    std::int32_t cells[BLOCK_THREADS];
  };
  template <class Block>
  static void run(Block& block, Shared& shared, const std::int32_t* flags, std::int32_t* counts) {
    const std::size_t base = std::size_t{block.bx} * BLOCK_THREADS;
    block.phase([&](Thread t) { shared.cells[t.linear()] = flags[base + t.linear()]; });
    PerThread<Block, std::int32_t> count;
    const std::int32_t total = hysteresis_detail::treeCount(block, shared.cells);
    block.phase([&](Thread t) { count[t] = total; });
    block.phase([&](Thread t) { counts[base + t.linear()] = count[t]; });
  }
};

TEST(HysteresisCount, TheTreeCountIsExactInEveryThreadOrder) {
  constexpr unsigned blocks = 6;
  std::mt19937 random(17);
  std::vector<std::int32_t> flags(blocks * BLOCK_THREADS);
  for (unsigned b = 0; b < blocks; ++b)  // densities from none to all
    for (unsigned i = 0; i < BLOCK_THREADS; ++i) flags[b * BLOCK_THREADS + i] = random() % blocks < b ? 1 : 0;
  std::fill_n(flags.begin() + (blocks - 1) * BLOCK_THREADS, BLOCK_THREADS, 1);
  for (ThreadOrder order : {ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled}) {
    std::vector<std::int32_t> counts(flags.size(), -1);
    CpuExecutor executor({.workers = 2, .order = order});
    executor.runGrid<TreeCountKernel>(Dim3{blocks, 1, 1}, static_cast<const std::int32_t*>(flags.data()),
                                      counts.data());
    for (unsigned b = 0; b < blocks; ++b) {
      const auto first = flags.begin() + b * BLOCK_THREADS;
      const std::int32_t expected = std::accumulate(first, first + BLOCK_THREADS, 0);
      for (unsigned i = 0; i < BLOCK_THREADS; ++i) ASSERT_EQ(counts[b * BLOCK_THREADS + i], expected) << "block " << b;
    }
  }
}

// ---- Growth inside one tile ----

// A block that counts the block-uniform reads of a launch: the sweep kernel reads one count per
// sweep.
struct SweepCountingBlock : cpu::CpuBlock<cpu::ForwardOrder> {
  unsigned uniformReads = 0;
  template <class Read>
  auto uniform(Read&& read) {
    ++uniformReads;
    return read();
  }
};

using Cells = std::vector<std::pair<unsigned, unsigned>>;  // (x, y)

// A snake through one tile that never touches itself, not even diagonally: rows 0, 2, ..., 14 run
// back and forth and meet through a single cell at the far end of the row between them, so the
// path is its own shortest path (121 cells). Such a path holds at most two cells of any 2 x 2
// square, which is why no chain inside a tile is longer than the sweep limit.
Cells tileSnake() {
  Cells cells;
  for (unsigned x = 0; x <= 14; ++x) cells.emplace_back(x, 0);
  for (unsigned j = 1; j <= 7; ++j) {
    const bool rightward = j % 2 == 0;
    cells.emplace_back(rightward ? 0 : 15, 2 * j - 1);
    const unsigned first = rightward ? 1 : 14;
    const unsigned last = j == 7 ? 0 : rightward ? 14 : 1;
    for (unsigned x = first;; x = rightward ? x + 1 : x - 1) {
      cells.emplace_back(x, 2 * j);
      if (x == last) break;
    }
  }
  return cells;
}

// A chain: the first cell strong (10), the others candidates (5), for thresholds 3 and 7.
Image chainImage(unsigned width, unsigned height, const Cells& cells) {
  Image image(width, height);
  for (std::size_t i = 0; i < cells.size(); ++i) image.at(cells[i].first, cells[i].second) = i == 0 ? 10.0f : 5.0f;
  return image;
}

Cells straightChain(unsigned length, unsigned y) {
  Cells cells;
  for (unsigned x = 0; x < length; ++x) cells.emplace_back(x, y);
  return cells;
}

Cells diagonalChain(unsigned length) {
  Cells cells;
  for (unsigned i = 0; i < length; ++i) cells.emplace_back(i, i);
  return cells;
}

struct SweepCase {
  const char* name;
  Cells cells;      // chain, strong first; empty: only isolated values
  unsigned sweeps;  // that the pass runs: one more than the longest distance it converts
};

TEST(HysteresisSweeps, RunOneSweepMoreThanTheLongestChainAndConvertItWhole) {
  const SweepCase cases[] = {
      {"nothing to convert", {}, 1},
      {"a candidate beside a strong pixel", straightChain(2, 4), 2},
      {"a chain of 5 candidates", straightChain(6, 9), 6},
      {"a diagonal chain of 15 candidates", diagonalChain(16), 16},
      {"a snake of 120 candidates through the tile", tileSnake(), 121},
  };
  for (const SweepCase& test : cases) {
    Image input = test.cells.empty() ? Image(16, 16) : chainImage(16, 16, test.cells);
    if (test.cells.empty()) input.at(3, 3) = 5.0f, input.at(9, 9) = 1.0f, input.at(12, 2) = 50.0f;

    Image output(16, 16, UNWRITTEN);
    CannyHysteresisBlockShared::Shared shared{};
    SweepCountingBlock block{};
    CannyHysteresisBlockShared::run(block, shared, static_cast<const float*>(input.pixels.data()), output.pixels.data(),
                                    std::uint16_t{16}, std::uint16_t{16}, 3.0f, 7.0f);
    EXPECT_EQ(block.uniformReads, test.sweeps) << test.name;
    for (const auto& [x, y] : test.cells) EXPECT_EQ(output.at(x, y), edgeMark) << test.name << " at " << x << ", " << y;

    CpuExecutor executor({.workers = 1});
    EXPECT_TRUE(sameImage(runPass<CannyHysteresisBlock>(executor, input, 3.0f, 7.0f), output))
        << test.name << ": the lists convert the same in one launch";
  }
}

TEST(HysteresisSweeps, TheSnakeIsItsOwnShortestPath) {
  const Cells snake = tileSnake();
  const auto distance = edgeDistances(classifiedTile(chainImage(16, 16, snake), 0, 0, 3.0f, 7.0f));
  for (std::size_t i = 0; i < snake.size(); ++i)
    ASSERT_EQ(distance[snake[i].second + 1][snake[i].first + 1], static_cast<int>(i)) << "cell " << i;
}

// ---- Across tiles, pass by pass ----

struct CrossingCase {
  const char* name;
  unsigned width;
  unsigned height;
  Cells cells;                       // strong first
  std::vector<unsigned> tileOfCell;  // pass in which each cell converts is tileOfCell + 1
};

// A cell of a chain converts in the pass one more than the number of tile borders between it and
// the strong pixel.
CrossingCase crossing(const char* name, unsigned width, unsigned height, Cells cells) {
  CrossingCase test{name, width, height, std::move(cells), {}};
  const auto tileIndex = [](const std::pair<unsigned, unsigned>& cell) {
    return std::pair{cell.first / TILE_SIZE, cell.second / TILE_SIZE};
  };
  unsigned borders = 0;
  for (std::size_t i = 0; i < test.cells.size(); ++i) {
    if (i > 0 && tileIndex(test.cells[i]) != tileIndex(test.cells[i - 1])) ++borders;
    test.tileOfCell.push_back(borders);
  }
  return test;
}

template <class Kernel>
void expectOneBorderPerPass(const CrossingCase& test) {
  CpuExecutor executor({.workers = 2});
  const unsigned passes = test.tileOfCell.back() + 2;
  const std::vector<Image> results = runPasses<Kernel>(executor, chainImage(test.width, test.height, test.cells), 3.0f,
                                                       7.0f, static_cast<int>(passes));
  for (unsigned p = 0; p < passes; ++p)
    for (std::size_t i = 1; i < test.cells.size(); ++i) {
      const auto [x, y] = test.cells[i];
      ASSERT_EQ(results[p].at(x, y), test.tileOfCell[i] <= p ? edgeMark : candidateMark)
          << kernelName(Kernel::id) << ": " << test.name << ", after pass " << p + 1 << " at (" << x << ", " << y
          << ")";
    }
}

TEST(HysteresisPasses, AnEdgeCrossesOneTileBorderPerPass) {
  Cells down;
  for (unsigned y = 0; y < 48; ++y) down.emplace_back(7 + (y / 5) % 2, y);
  const CrossingCase cases[] = {
      crossing("strong pixel just across the border", 32, 16, {{15, 5}, {16, 5}, {17, 6}, {18, 6}}),
      crossing("rightward through 4 tiles", 64, 16, straightChain(64, 8)),
      crossing("downward through 3 tiles", 16, 48, down),
      crossing("through tile corners", 48, 48, diagonalChain(48)),
      crossing("out and back", 32, 32, {{14, 3}, {15, 4}, {16, 5}, {17, 6}, {16, 7}, {15, 8}, {14, 9}}),
  };
  for (const CrossingCase& test : cases) {
    expectOneBorderPerPass<CannyHysteresisBlockShared>(test);
    expectOneBorderPerPass<CannyHysteresisBlock>(test);
  }
}

template <class Kernel>
void expectOutsideIgnored(float outside) {
  // 40 x 20: one row of two tiles; columns 32 and up and rows 16 and up lie outside.
  Image input(40, 20, outside);
  for (unsigned y = 0; y < 16; ++y)
    for (unsigned x = 0; x < 32; ++x) input.at(x, y) = 0.0f;
  input.at(31, 5) = 5.0f;   // beside x = 32
  input.at(20, 15) = 5.0f;  // beside y = 16
  input.at(0, 15) = 5.0f;   // beside (0, 16) and (1, 16)
  CpuExecutor executor({.workers = 1});
  const Image output = runPass<Kernel>(executor, input, 3.0f, 7.0f);
  EXPECT_EQ(output.at(31, 5), candidateMark) << kernelName(Kernel::id) << ", outside " << outside;
  EXPECT_EQ(output.at(20, 15), candidateMark) << kernelName(Kernel::id) << ", outside " << outside;
  EXPECT_EQ(output.at(0, 15), candidateMark) << kernelName(Kernel::id) << ", outside " << outside;
  for (unsigned y = 0; y < 20; ++y)
    for (unsigned x = 0; x < 40; ++x)
      if (x >= 32 || y >= 16) {
        ASSERT_EQ(output.at(x, y), UNWRITTEN) << "(" << x << ", " << y << ")";
      }
}

TEST(HysteresisPasses, PixelsOutsideWholeTilesAreNeitherReadNorWritten) {
  for (float outside : {edgeMark, 100.0f, NaN}) {
    expectOutsideIgnored<CannyHysteresisBlockShared>(outside);
    expectOutsideIgnored<CannyHysteresisBlock>(outside);
  }
}

// ---- Against the gold on seeded random strengths ----

class HysteresisOrders : public ::testing::TestWithParam<ThreadOrder> {};

TEST_P(HysteresisOrders, SweepPassesMatchTheGold) {
  CpuExecutor executor({.workers = 2, .order = GetParam(), .shuffleSeed = 5});
  std::uint32_t seed = 100;
  for (const Size size : SIZES)
    for (const double between : {0.35, 0.6}) {
      const Image input = randomStrengths(size.width, size.height, ++seed, 0.02, between);
      const auto results = runPasses<CannyHysteresisBlockShared>(executor, input, 3.0f, 7.0f, 3);
      const auto gold = goldPasses(input, 3.0f, 7.0f, 3, goldSweepPass);
      for (std::size_t p = 0; p < gold.size(); ++p)
        ASSERT_TRUE(sameImage(results[p], gold[p])) << "seed " << seed << ", pass " << p + 1;
    }
}

TEST_P(HysteresisOrders, ListPassesMatchTheGoldAndTheSweepsInTheFirstPass) {
  CpuExecutor executor({.workers = 2, .order = GetParam(), .shuffleSeed = 9});
  std::uint32_t seed = 200;
  for (const Size size : SIZES)
    for (const double between : {0.3, 0.6}) {
      const Image input = randomTrees(size.width, size.height, ++seed, 0.03, between);
      const auto results = runPasses<CannyHysteresisBlock>(executor, input, 3.0f, 7.0f, 3);
      const auto gold = goldPasses(input, 3.0f, 7.0f, 3, goldListPass);
      for (std::size_t p = 0; p < gold.size(); ++p)
        ASSERT_TRUE(sameImage(results[p], gold[p])) << "seed " << seed << ", pass " << p + 1;
      ASSERT_TRUE(sameImage(results[0], runPass<CannyHysteresisBlockShared>(executor, input, 3.0f, 7.0f)))
          << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(Hysteresis, HysteresisOrders,
                         ::testing::Values(ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled));

// ---- Candidate lists ----

// Tile (0, 0) of a 32 x 32 image in a later pass: its right-hand ring column (x = 16) holds the
// neighbouring tile's marks.
TEST(HysteresisLists, TraceThroughACandidateOnTheRingButStartOnlyInsideTheTile) {
  Image input(32, 32);
  input.at(14, 4) = edgeMark;
  input.at(15, 5) = candidateMark;   // a seed
  input.at(16, 6) = candidateMark;   // ring, next to the seed
  input.at(15, 7) = candidateMark;   // reached from the seed only through (16, 6)
  input.at(16, 10) = edgeMark;       // ring
  input.at(16, 11) = candidateMark;  // ring, next to that edge
  input.at(15, 12) = candidateMark;  // reached from an edge only through (16, 11)
  CpuExecutor executor({.workers = 1});

  const Image listed = runPass<CannyHysteresisBlock>(executor, input, 3.0f, 7.0f);
  EXPECT_EQ(listed.at(15, 5), edgeMark);
  EXPECT_EQ(listed.at(15, 7), edgeMark);
  EXPECT_EQ(listed.at(16, 6), candidateMark) << "no edge next to it in its own tile";
  EXPECT_EQ(listed.at(15, 12), candidateMark) << "no seed inside its tile";
  EXPECT_EQ(listed.at(16, 11), edgeMark) << "converted by its own tile";

  const Image swept = runPass<CannyHysteresisBlockShared>(executor, input, 3.0f, 7.0f);
  EXPECT_EQ(swept.at(15, 5), edgeMark);
  EXPECT_EQ(swept.at(15, 7), candidateMark) << "sweeps never pass through the ring";
  EXPECT_EQ(swept.at(15, 12), candidateMark);

  const Image second = runPass<CannyHysteresisBlock>(executor, listed, 3.0f, 7.0f);
  EXPECT_EQ(second.at(15, 12), edgeMark);
  EXPECT_EQ(second.at(16, 6), edgeMark);
}

// One edge pixel whose only candidate neighbour opens onto 224 connected candidates: one trace,
// whatever the thread order, and it fills its list.
TEST(HysteresisLists, AFullListStopsGrowingAndMarksEveryCellItHolds) {
  Image input(16, 16);
  input.at(0, 0) = 10.0f;
  input.at(0, 1) = 5.0f;
  for (unsigned y = 2; y < 16; ++y)
    for (unsigned x = 0; x < 16; ++x) input.at(x, y) = 5.0f;

  std::vector<Image> outputs;
  for (ThreadOrder order : {ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled}) {
    CpuExecutor executor({.workers = 1, .order = order});
    outputs.push_back(runPass<CannyHysteresisBlock>(executor, input, 3.0f, 7.0f));
  }
  EXPECT_TRUE(sameImage(outputs[1], outputs[0]));
  EXPECT_TRUE(sameImage(outputs[2], outputs[0]));

  const Image& output = outputs[0];
  unsigned converted = 0;
  unsigned left = 0;
  for (unsigned y = 1; y < 16; ++y)
    for (unsigned x = 0; x < 16; ++x) {
      converted += output.at(x, y) == edgeMark;
      left += output.at(x, y) == candidateMark;
    }
  EXPECT_LE(converted, LIST_CAPACITY);
  EXPECT_GT(left, 0u);
  EXPECT_EQ(converted + left, 225u);
  // Breadth first: the nearest cells of the region are taken before the list fills, the farthest
  // are dropped.
  for (unsigned x = 0; x < 3; ++x) EXPECT_EQ(output.at(x, 2), edgeMark) << x;
  EXPECT_EQ(output.at(15, 15), candidateMark);
  // Every cell taken was found next to a cell taken before it: the edges form one piece with the
  // strong pixel.
  Image reached(16, 16);
  std::deque<std::pair<int, int>> queue{{0, 0}};
  reached.at(0, 0) = 1.0f;
  unsigned connected = 0;
  while (!queue.empty()) {
    const auto [x, y] = queue.front();
    queue.pop_front();
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (!output.inWholeTile(nx, ny)) continue;
        const auto ux = static_cast<unsigned>(nx);
        const auto uy = static_cast<unsigned>(ny);
        if (output.at(ux, uy) != edgeMark || reached.at(ux, uy) != 0.0f) continue;
        reached.at(ux, uy) = 1.0f;
        ++connected;
        queue.emplace_back(nx, ny);
      }
  }
  EXPECT_EQ(connected, converted);
}

// The trace itself: a list never holds more than LIST_CAPACITY cells and marks every cell it
// holds, also over a tile of candidates ring included, whose ring cells clamp onto the ring.
TEST(HysteresisLists, ATraceHoldsAtMostTheCapacityAndMarksWhatItHolds) {
  struct Case {
    const char* name;
    unsigned firstRow;  // rows firstRow..lastRow of the haloed tile hold candidates
    unsigned lastRow;
    unsigned seedRow;  // the seed, in column 0
    unsigned count;    // entries the trace ends with
  };
  // From the corner the list fills on the last find of an entry, from the side in the middle of one.
  const Case cases[] = {
      {"one row, from its ring end", 5, 5, 5, HALO_TILE},
      {"the whole haloed tile, from a corner", 0, HALO_TILE - 1, 0, LIST_CAPACITY},
      {"the whole haloed tile, from a side", 0, HALO_TILE - 1, 9, LIST_CAPACITY},
  };
  for (const Case& test : cases) {
    hysteresis_detail::HaloTile tile{};
    for (unsigned r = test.firstRow; r <= test.lastRow; ++r)
      for (unsigned c = 0; c < HALO_TILE; ++c) tile[r][c] = candidateMark;
    hysteresis_detail::TraceList list{};
    list.list_0[0] = static_cast<std::uint8_t>(test.seedRow);
    list.list_0[1] = 0;
    list.count = 1;
    hysteresis_detail::trace(tile, list);

    EXPECT_EQ(list.count, test.count) << test.name;
    unsigned marked = 0;
    for (const auto& row : tile)
      for (float cell : row) marked += cell == edgeMark;
    EXPECT_LE(marked, list.count) << test.name;
    for (unsigned k = 0; k < list.count; ++k)
      EXPECT_EQ(tile[list.list_0[2 * k]][list.list_0[2 * k + 1]], edgeMark) << test.name << ", entry " << k;
    EXPECT_EQ(tile[test.lastRow][HALO_TILE - 1], test.count < LIST_CAPACITY ? edgeMark : candidateMark) << test.name;
  }
}

}  // namespace
}  // namespace quarlen
