// Gradient strength and direction codes, and non-maximum suppression: the kernels against plain
// per-pixel formulas, on hand-made fixtures and on seeded random images, in every thread order.
#include "kernels/gradient.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "runtime/cpu/executor.h"

namespace quarlen {
namespace {

using cpu::CpuExecutor;
using cpu::ThreadOrder;

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float strengthSentinel = -7.25f;
constexpr std::uint32_t codeSentinel = 0xDEADBEEFu;

bool sameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool inWholeTile(unsigned x, unsigned y, unsigned width, unsigned height) {
  return x < width / 16 * 16 && y < height / 16 * 16;
}

Dim3 gridOf(unsigned width, unsigned height) { return Dim3{width / 16, height / 16, 1}; }

// ---- Gold: the rules per pixel, written out plainly --------------------------------------------

std::uint32_t goldCode(float gx, float gy) {
  const float t1 = 0.392699093f, t3 = 1.17809725f, t5 = 1.96349537f, t7 = 2.74889350f;
  const float a = (gx == 0.0f && gy == 0.0f) ? 0.0f : std::atan2(gy, gx);
  if ((t1 < a && a <= t3) || (-t7 <= a && a < -t5)) return 45;
  if ((t3 < a && a <= t5) || (-t5 <= a && a < -t3)) return 90;
  if ((t5 < a && a <= t7) || (-t3 <= a && a < -t1)) return 135;
  return 0;
}

float goldStrength(float gx, float gy) { return std::sqrt(std::fma(gx, gx, gy * gy)); }

float goldSuppressed(const std::vector<float>& strength, const std::vector<std::uint32_t>& code, int width, int height,
                     int x, int y) {
  auto at = [&](int u, int v) {
    return (u < 0 || v < 0 || u >= width || v >= height) ? 0.0f : strength[v * width + u];
  };
  int dx = 1, dy = 0;
  switch (code[y * width + x]) {
    case 45:
      dx = 1, dy = -1;
      break;
    case 90:
      dx = 0, dy = 1;
      break;
    case 135:
      dx = -1, dy = -1;
      break;
    default:
      break;
  }
  const float c = at(x, y);
  return (c > at(x + dx, y + dy) && c > at(x - dx, y - dy)) ? c : 0.0f;
}

// ---- Running the kernels -----------------------------------------------------------------------

struct GradientOutput {
  std::vector<float> strength;
  std::vector<std::uint32_t> code;
};

GradientOutput runGradient(const std::vector<float>& gx, const std::vector<float>& gy, unsigned width, unsigned height,
                           ThreadOrder order = ThreadOrder::forward) {
  GradientOutput out{std::vector<float>(gx.size(), strengthSentinel),
                     std::vector<std::uint32_t>(gx.size(), codeSentinel)};
  CpuExecutor executor({.workers = 2, .order = order, .shuffleSeed = 11});
  executor.runGrid<CannyGradientStrengthDirection>(
      gridOf(width, height), gx.data(), gy.data(), static_cast<std::uint16_t>(width),
      static_cast<std::uint16_t>(height), out.strength.data(), out.code.data());
  return out;
}

std::vector<float> runNonmax(const std::vector<std::uint32_t>& code, const std::vector<float>& strength, unsigned width,
                             unsigned height, ThreadOrder order = ThreadOrder::forward) {
  std::vector<float> out(strength.size(), strengthSentinel);
  CpuExecutor executor({.workers = 2, .order = order, .shuffleSeed = 5});
  executor.runGrid<CannyNonmaxSupression>(gridOf(width, height), code.data(), strength.data(), out.data(),
                                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
  return out;
}

// ---- Direction quantiser -----------------------------------------------------------------------

TEST(DirectionQuantiser, ThresholdsFallOnTheSideTheSinglePrecisionComparisonGives) {
  const float pi = std::numbers::pi_v<float>;
  struct Case {
    float angle;
    std::uint32_t code;
  };
  const Case cases[] = {
      {0.392699093f, 0},
      {1.17809725f, 45},
      {1.96349537f, 90},
      {2.74889350f, 135},
      {-0.392699093f, 0},
      {-1.17809725f, 135},
      {-1.96349537f, 90},
      {-2.74889350f, 45},
      {pi, 0},
      {-pi, 0},
      {0.0f, 0},
      {-0.0f, 0},
      {std::nextafter(0.392699093f, 1.0f), 45},
      {std::nextafter(-0.392699093f, -1.0f), 135},
      {std::nextafter(1.17809725f, 2.0f), 90},
      {std::nextafter(-1.17809725f, -2.0f), 90},
      {std::nextafter(1.96349537f, 2.0f), 135},
      {std::nextafter(-1.96349537f, -2.0f), 45},
      {std::nextafter(2.74889350f, 3.0f), 0},
      {std::nextafter(-2.74889350f, -3.0f), 0},
      {nan, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(quantiseAngle(c.angle), c.code) << "angle " << c.angle;
}

TEST(DirectionQuantiser, WholeGradientsGetTheArcTangentCodeOnEveryPair) {
  std::uint64_t mismatches = 0;
  std::string first;
  for (std::int32_t gy = -1020; gy <= 1020; ++gy)
    for (std::int32_t gx = -1020; gx <= 1020; ++gx) {
      const float fx = static_cast<float>(gx);
      const float fy = static_cast<float>(gy);
      if (wholeGradientCode(fx, fy) != goldCode(fx, fy) && mismatches++ == 0)
        first = "(" + std::to_string(gx) + ", " + std::to_string(gy) + ")";
    }
  EXPECT_EQ(mismatches, 0u) << "first at " << first;
}

TEST(DirectionQuantiser, OnlyPairsOfWholeNumbersUpTo1020TakeTheShortcut) {
  struct Case {
    float gx, gy;
    bool whole;
  };
  const Case cases[] = {
      {0.0f, 0.0f, true},
      {-0.0f, -0.0f, true},
      {1020.0f, -1020.0f, true},
      {-1020.0f, 7.0f, true},
      {1021.0f, 0.0f, false},
      {0.0f, -1021.0f, false},
      {std::nextafter(1020.0f, 2000.0f), 1.0f, false},
      {0.5f, 0.0f, false},
      {3.0f, -3.25f, false},
      {1e-30f, 0.0f, false},
      {0.0f, 1e10f, false},
      {-1e10f, 0.0f, false},
      {-3e38f, 3e38f, false},
      {inf, 0.0f, false},
      {0.0f, -inf, false},
      {nan, 0.0f, false},
      {0.0f, nan, false},
      {inf, -inf, false},
  };
  for (const Case& c : cases) EXPECT_EQ(areWholeGradients(c.gx, c.gy), c.whole) << "(" << c.gx << ", " << c.gy << ")";
}

// ---- Gradient kernel ---------------------------------------------------------------------------

TEST(GradientKernel, EdgeCasesGiveTheirStrengthAndCode) {
  struct Case {
    float gx;
    float gy;
    std::uint32_t code;
    std::optional<float> strength = std::nullopt;  // else as the formula gives it
  };
  const Case cases[] = {
      // zero vectors of every sign
      {0.0f, 0.0f, 0, 0.0f},
      {-0.0f, 0.0f, 0, 0.0f},
      {0.0f, -0.0f, 0, 0.0f},
      {-0.0f, -0.0f, 0, 0.0f},
      // axes, with either sign of the zero component
      {1, 0.0f, 0, 1.0f},
      {-1, 0.0f, 0, 1.0f},
      {-1, -0.0f, 0},
      {0.0f, 1, 90, 1.0f},
      {-0.0f, 1, 90},
      {0.0f, -1, 90},
      {-0.0f, -1, 90},
      // diagonals
      {1, 1, 45},
      {-7, -7, 45},
      {1, -1, 135},
      {-1, 1, 135},
      {3, 4, 45, 5.0f},
      {-3, -4, 45, 5.0f},
      // around 22.5 degrees and its mirrors
      {1000, 414, 0},
      {1000, 415, 45},
      {1000, -414, 0},
      {1000, -415, 135},
      {-1000, 414, 0},
      {-1000, 415, 135},
      {-1000, -414, 0},
      {-1000, -415, 45},
      // around 67.5 and 112.5 degrees
      {414, 1000, 90},
      {415, 1000, 45},
      {-414, 1000, 90},
      {-415, 1000, 135},
      {414, -1000, 90},
      {415, -1000, 135},
      {12, 5, 45},
      {5, 12, 45},
      {2, 5, 90},
      // the corners of the whole-number range
      {1020, 1020, 45},
      {-1020, 1020, 135},
      {-1020, -1020, 45},
      {1020, -1020, 135},
      // not whole, or beyond the Sobel range: the arc tangent decides
      {1, 0.45f, 45},
      {1, 0.4f, 0},
      {2.5f, -2.5f, 135},
      {2000, 830, 45},
      {2000, 828, 0},
      {-1021, 0.0f, 0},
      {1e30f, 1e30f, 45},
      // infinities and NaN
      {inf, inf, 45, inf},
      {-inf, inf, 135, inf},
      {inf, -inf, 135, inf},
      {-inf, -inf, 45, inf},
      {inf, 5, 0, inf},
      {5, -inf, 90, inf},
      {nan, 1, 0, nan},
      {1, nan, 0, nan},
      {nan, nan, 0, nan},
      {nan, inf, 0, nan},
  };
  constexpr unsigned size = 16;
  std::vector<float> gx(size * size, 0.0f), gy(size * size, 0.0f);
  const std::size_t n = std::size(cases);
  ASSERT_LE(n, gx.size()) << "one tile holds the cases";
  for (std::size_t i = 0; i < n; ++i) gx[i] = cases[i].gx, gy[i] = cases[i].gy;

  const GradientOutput out = runGradient(gx, gy, size, size);
  for (std::size_t i = 0; i < n; ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(out.code[i], c.code) << "(" << c.gx << ", " << c.gy << ")";
    EXPECT_TRUE(sameFloat(out.strength[i], c.strength.value_or(goldStrength(c.gx, c.gy))))
        << "(" << c.gx << ", " << c.gy << "): " << out.strength[i];
  }
}

class GradientOrders : public ::testing::TestWithParam<ThreadOrder> {};

TEST_P(GradientOrders, MatchesGoldOnRandomImagesAndWritesOnlyWholeTiles) {
  struct Size {
    unsigned width, height;
  };
  const Size sizes[] = {{16, 16}, {17, 33}, {40, 37}, {48, 20}, {15, 40}, {33, 15}};
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> whole(-1020, 1020);
  std::uniform_real_distribution<float> fraction(-1100.0f, 1100.0f);
  std::uniform_int_distribution<int> kind(0, 19);
  auto draw = [&] {
    const int k = kind(random);
    if (k == 0) return 0.0f;
    if (k == 1) return -0.0f;
    if (k <= 3) return fraction(random);
    return static_cast<float>(whole(random));
  };
  for (const Size s : sizes) {
    const std::size_t pixels = std::size_t{s.width} * s.height;
    std::vector<float> gx(pixels), gy(pixels);
    for (std::size_t i = 0; i < pixels; ++i) gx[i] = draw(), gy[i] = draw();

    const GradientOutput out = runGradient(gx, gy, s.width, s.height, GetParam());
    for (unsigned y = 0; y < s.height; ++y)
      for (unsigned x = 0; x < s.width; ++x) {
        const std::size_t i = std::size_t{y} * s.width + x;
        const bool tile = inWholeTile(x, y, s.width, s.height);
        const float strength = tile ? goldStrength(gx[i], gy[i]) : strengthSentinel;
        const std::uint32_t code = tile ? goldCode(gx[i], gy[i]) : codeSentinel;
        ASSERT_TRUE(sameFloat(out.strength[i], strength)) << s.width << " x " << s.height << " at (" << x << ", " << y
                                                          << "): " << out.strength[i] << " not " << strength;
        ASSERT_EQ(out.code[i], code) << s.width << " x " << s.height << " at (" << x << ", " << y << ") for (" << gx[i]
                                     << ", " << gy[i] << ")";
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Gradient, GradientOrders,
                         ::testing::Values(ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled));

// ---- Non-maximum suppression -------------------------------------------------------------------

// A strength image, all 0 with code 0 unless set, in buffers with a tail of large strengths behind
// the image, so that a read past the last pixel shows in the result.
struct NonmaxFixture {
  unsigned width, height;
  std::vector<float> strength;
  std::vector<std::uint32_t> code;

  NonmaxFixture(unsigned w, unsigned h)
      : width(w), height(h), strength(std::size_t{w} * h + 2 * w, 0.0f), code(std::size_t{w} * h + 2 * w, 0) {
    for (std::size_t i = std::size_t{w} * h; i < strength.size(); ++i) strength[i] = 1000.0f;
  }
  void set(unsigned x, unsigned y, float s, std::uint32_t c = 0) {
    strength[std::size_t{y} * width + x] = s;
    code[std::size_t{y} * width + x] = c;
  }
};

TEST(NonmaxSuppression, KeepsOnlyStrictMaximaAlongTheDirectionLine) {
  struct Pixel {
    unsigned x, y;
    float strength;
    std::uint32_t code;
  };
  struct Expect {
    unsigned x, y;
    float out;
  };
  struct Case {
    const char* name;
    unsigned width, height;
    std::vector<Pixel> pixels;
    std::vector<Expect> expect;
  };
  const Case cases[] = {
      {"2-7-5 row", 32, 32, {{9, 4, 2, 0}, {10, 4, 7, 0}, {11, 4, 5, 0}}, {{10, 4, 7}, {9, 4, 0}, {11, 4, 0}}},
      {"plateau", 32, 32, {{9, 4, 3, 0}, {10, 4, 7, 0}, {11, 4, 7, 0}, {12, 4, 3, 0}}, {{10, 4, 0}, {11, 4, 0}}},
      {"code 90 ignores its side neighbours",
       32,
       32,
       {{10, 4, 5, 90}, {10, 3, 4, 0}, {10, 5, 4, 0}, {11, 4, 9, 0}, {9, 4, 9, 0}},
       {{10, 4, 5}}},
      {"code 90 against a larger neighbour below", 32, 32, {{10, 4, 5, 90}, {10, 5, 6, 0}}, {{10, 4, 0}}},
      {"code 45 compares (x+1, y-1) and (x-1, y+1)",
       32,
       32,
       {{5, 5, 5, 45}, {6, 4, 4, 0}, {4, 6, 4, 0}, {4, 4, 9, 0}, {6, 6, 9, 0}, {6, 5, 9, 0}, {5, 4, 9, 0}},
       {{5, 5, 5}}},
      {"code 45 against a larger (x-1, y+1)", 32, 32, {{5, 5, 5, 45}, {4, 6, 6, 0}}, {{5, 5, 0}}},
      {"code 135 compares (x-1, y-1) and (x+1, y+1)",
       32,
       32,
       {{5, 5, 5, 135}, {4, 4, 4, 0}, {6, 6, 4, 0}, {6, 4, 9, 0}, {4, 6, 9, 0}, {6, 5, 9, 0}, {5, 6, 9, 0}},
       {{5, 5, 5}}},
      {"code 135 against a larger (x+1, y+1)", 32, 32, {{5, 5, 5, 135}, {6, 6, 6, 0}}, {{5, 5, 0}}},
      {"image corner counts 0.0 outside", 32, 32, {{0, 0, 4, 135}, {1, 1, 3, 0}}, {{0, 0, 4}}},
      {"zero strength is never kept", 32, 32, {{7, 7, 0, 0}}, {{7, 7, 0}}},
      {"seam (15, 16) reads (16, 15) through the corner cell",
       32,
       32,
       {{15, 16, 5, 45}, {16, 15, 6, 0}},
       {{15, 16, 0}}},
      {"seam (15, 16) reads (14, 17)", 32, 32, {{15, 16, 5, 45}, {14, 17, 6, 0}}, {{15, 16, 0}}},
      {"seam (15, 16) kept above both", 32, 32, {{15, 16, 5, 45}, {16, 15, 4, 0}, {14, 17, 4, 0}}, {{15, 16, 5}}},
      {"seam (16, 15) reads (15, 16) through the bottom-left corner cell",
       32,
       32,
       {{16, 15, 5, 45}, {15, 16, 6, 0}},
       {{16, 15, 0}}},
      {"seam (15, 15) reads (16, 16)", 32, 32, {{15, 15, 5, 135}, {16, 16, 6, 0}}, {{15, 15, 0}}},
      {"seam (16, 16) reads (15, 15)", 32, 32, {{16, 16, 5, 135}, {15, 15, 6, 0}}, {{16, 16, 0}}},
      // (0, 6) is the element after (31, 5), and the tail behind the image holds 1000.
      {"last column counts 0.0 on its right", 32, 32, {{31, 5, 3, 0}, {30, 5, 2, 0}, {0, 6, 9, 0}}, {{31, 5, 3}}},
      {"last row counts 0.0 below", 32, 32, {{5, 31, 3, 90}, {5, 30, 2, 0}}, {{5, 31, 3}}},
      {"bottom-right corner", 32, 32, {{31, 31, 3, 135}, {30, 30, 2, 0}}, {{31, 31, 3}}},
      {"first column counts 0.0 on its left", 32, 32, {{0, 5, 3, 0}, {1, 5, 2, 0}, {31, 4, 9, 0}}, {{0, 5, 3}}},
      {"40 x 37: x = 31 compares the pixel x = 32 outside the tiles",
       40,
       37,
       {{31, 5, 5, 0}, {32, 5, 6, 0}, {31, 8, 5, 0}, {32, 8, 4, 0}, {31, 31, 5, 90}, {31, 32, 6, 0}},
       {{31, 5, 0}, {31, 8, 5}, {31, 31, 0}}},
  };
  for (const Case& c : cases) {
    NonmaxFixture f(c.width, c.height);
    for (const Pixel& p : c.pixels) f.set(p.x, p.y, p.strength, p.code);
    for (ThreadOrder order : {ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled}) {
      const std::vector<float> out = runNonmax(f.code, f.strength, c.width, c.height, order);
      for (const Expect& e : c.expect)
        EXPECT_EQ(out[std::size_t{e.y} * c.width + e.x], e.out) << c.name << " at (" << e.x << ", " << e.y << ")";
      for (unsigned y = 0; y < c.height; ++y)
        for (unsigned x = 0; x < c.width; ++x)
          if (!inWholeTile(x, y, c.width, c.height)) {
            ASSERT_EQ(out[std::size_t{y} * c.width + x], strengthSentinel)
                << c.name << " wrote (" << x << ", " << y << ")";
          }
    }
  }
}

class NonmaxOrders : public ::testing::TestWithParam<ThreadOrder> {};

TEST_P(NonmaxOrders, MatchesGoldOnRandomImagesAndWritesOnlyWholeTiles) {
  struct Size {
    unsigned width, height;
  };
  const Size sizes[] = {{16, 16}, {17, 17}, {40, 37}, {48, 33}, {64, 16}, {33, 15}};
  const std::uint32_t codes[] = {0, 45, 90, 135};
  std::mt19937 random(99);
  // Few distinct strengths, so that ties and plateaus are common.
  std::uniform_int_distribution<int> level(0, 5);
  std::uniform_int_distribution<int> pick(0, 3);
  for (const Size s : sizes) {
    const std::size_t pixels = std::size_t{s.width} * s.height;
    std::vector<float> strength(pixels);
    std::vector<std::uint32_t> code(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
      strength[i] = static_cast<float>(level(random)) * 1.5f;
      code[i] = codes[pick(random)];
    }
    const std::vector<float> out = runNonmax(code, strength, s.width, s.height, GetParam());
    const int w = static_cast<int>(s.width), h = static_cast<int>(s.height);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool tile = inWholeTile(static_cast<unsigned>(x), static_cast<unsigned>(y), s.width, s.height);
        const float expected = tile ? goldSuppressed(strength, code, w, h, x, y) : strengthSentinel;
        ASSERT_EQ(out[static_cast<std::size_t>(y * w + x)], expected)
            << s.width << " x " << s.height << " at (" << x << ", " << y << ")";
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Nonmax, NonmaxOrders,
                         ::testing::Values(ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled));

}  // namespace
}  // namespace quarlen
