// The separable filters: the Gaussian tap tables, the 15-tap Gaussian passes and the 3-tap Sobel
// passes, each compared with a plain per-pixel loop (the gold) and on small scenes whose result is
// known by hand.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/gateway.h"
#include "host/gaussian_taps.h"
#include "host/workspace.h"
#include "kernels/gaussian.h"
#include "kernels/sobel.h"
#include "support/fixtures.h"

namespace quarlen {
namespace {

using cpu::CpuExecutor;
using cpu::ThreadOrder;
using Taps = std::vector<float>;

// Output elements that a launch must not write hold this value before it.
constexpr float UNTOUCHED = -12345.5f;

using testing::Image;

// Whole numbers from -300 to 300 with fractions of either sign, so that truncation toward zero and
// truncation downward differ.
Image randomImage(unsigned width, unsigned height, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> whole(-300, 300);
  std::uniform_int_distribution<int> eighths(0, 7);
  Image image(width, height);
  for (float& p : image.pixels) p = static_cast<float>(whole(random)) + static_cast<float>(eighths(random)) * 0.125f;
  return image;
}

Taps randomTaps(std::size_t count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> tap(-1.0f, 1.0f);
  Taps taps(count);
  for (float& t : taps) t = tap(random);
  return taps;
}

Taps oneTap(std::size_t count, std::size_t j) {
  Taps taps(count, 0.0f);
  taps[j] = 1.0f;
  return taps;
}

Taps tableTaps(const GaussTable& table) { return Taps(table.begin(), table.end()); }

// Runs one pass over the whole tiles of `in`, into an output that holds UNTOUCHED beforehand.
template <class Kernel>
Image runPass(const Image& in, const Taps& taps, ThreadOrder order = ThreadOrder::forward) {
  Image out(in.width, in.height, UNTOUCHED);
  CpuExecutor executor({.workers = 2, .order = order, .shuffleSeed = 11});
  executor.runGrid<Kernel>(Dim3{in.width / TILE_SIZE, in.height / TILE_SIZE, 1},
                           static_cast<const float*>(in.pixels.data()), out.pixels.data(),
                           static_cast<std::uint16_t>(in.width), static_cast<std::uint16_t>(in.height),
                           static_cast<const float*>(taps.data()));
  return out;
}

float truncated(float v) { return static_cast<float>(static_cast<std::int32_t>(v)); }

// The gold: one pixel at a time, products added in tap order to a sum that starts at 0. A
// horizontal pass filters the integer parts; only the pixels of whole tiles get a value.
template <class Pixel>
Image goldPass(const Image& in, Pixel&& pixel) {
  Image out(in.width, in.height, UNTOUCHED);
  for (unsigned y = 0; y < wholeTileExtent(in.height); ++y)
    for (unsigned x = 0; x < wholeTileExtent(in.width); ++x) out.at(x, y) = pixel(long{x}, long{y});
  return out;
}

Image gaussXGold(const Image& in, const Taps& k) {
  return goldPass(in, [&](long x, long y) {
    float sum = 0.0f;
    for (long j = 0; j < 15; ++j) {
      const float product = truncated(in.orZero(x - 7 + j, y)) * k[j];
      sum = sum + product;
    }
    return sum;
  });
}

Image gaussYGold(const Image& in, const Taps& k) {
  return goldPass(in, [&](long x, long y) {
    float sum = 0.0f;
    for (long j = 0; j < 15; ++j) {
      const float product = k[j] * in.orZero(x, y - 7 + j);
      sum = sum + product;
    }
    return sum;
  });
}

Image sobelXGold(const Image& in, const Taps& k) {
  return goldPass(in, [&](long x, long y) {
    float sum = truncated(in.orZero(x, y)) * k[1];
    sum = sum + truncated(in.orZero(x - 1, y)) * k[0];
    sum = sum + truncated(in.orZero(x + 1, y)) * k[2];
    return sum;
  });
}

Image sobelYGold(const Image& in, const Taps& k) {
  return goldPass(in, [&](long x, long y) {
    float sum = in.orZero(x, y) * k[1];
    sum = sum + k[0] * in.orZero(x, y - 1);
    sum = sum + k[2] * in.orZero(x, y + 1);
    return sum;
  });
}

// Equal element for element (floats compared exactly), reporting the first few differences by pixel.
::testing::AssertionResult sameImage(const Image& actual, const Image& expected) {
  int differences = 0;
  std::string where;
  for (unsigned y = 0; y < expected.height; ++y)
    for (unsigned x = 0; x < expected.width; ++x)
      if (!(actual.at(x, y) == expected.at(x, y)) && differences++ < 5)
        where += " (" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(actual.at(x, y)) +
                 " instead of " + std::to_string(expected.at(x, y)) + ";";
  if (differences == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differences << " pixels differ, among them" << where;
}

// ---------------------------------------------------------------------------------------------
// Gaussian taps

TEST(GaussianTaps, AreTheNormalisedSampledGaussianInBothTables) {
  struct Case {
    float sigma;
    std::vector<double> centreOutward;  // elements 7, 8, ...
  };
  const Case cases[] = {
      {1.0f, {0.398942, 0.241971, 0.053991, 0.00443185, 0.00013383, 1.48672e-06, 6.07588e-09, 9.13472e-12}},
      {2.0f, {0.199501, 0.176059, 0.121004, 0.0647686, 0.0269996, 0.00876548, 0.00221626, 0.000436407}},
      {0.5f, {0.786571, 0.106451}},
  };
  for (const Case& c : cases) {
    const GaussianTaps taps = computeGaussianTaps(c.sigma);
    for (const GaussTable* table : {&taps.scaledTaps, &taps.unscaledTaps}) {
      SCOPED_TRACE("sigma " + std::to_string(c.sigma) + (table == &taps.scaledTaps ? " scaled" : " unscaled"));
      for (std::size_t i = 0; i < c.centreOutward.size(); ++i)
        EXPECT_NEAR((*table)[7 + i], c.centreOutward[i], c.centreOutward[i] * 2e-5) << "element " << 7 + i;
      double sum = 0;
      for (std::size_t i = 0; i < GAUSS_TAPS; ++i) {
        EXPECT_EQ((*table)[i], (*table)[14 - i]) << "element " << i;
        sum += (*table)[i];
      }
      EXPECT_NEAR(sum, 1.0, 1e-6);
    }
    for (std::size_t i = 0; i < GAUSS_TAPS; ++i)
      EXPECT_NEAR(taps.scaledTaps[i], taps.unscaledTaps[i], taps.unscaledTaps[i] * 4e-7) << "element " << i;
  }
}

// Each table rounds to single precision at its own points: t = -(i * i) / (2 sigma^2) and each tap
// are computed in double and rounded; the sums are kept in single precision.
TEST(GaussianTaps, RoundToSinglePrecisionWhereTheRecipeDoes) {
  for (float sigma : {0.3f, 0.7f, 1.0f, 1.37f, 2.0f, 3.3f, 11.0f}) {
    GaussTable scaled{};
    GaussTable unscaled{};
    float scaledSum = 0.0f;
    float unscaledSum = 0.0f;
    for (int i = -7; i <= 7; ++i) {
      const double s = sigma;
      const float t = static_cast<float>(-(i * i) / ((s * 2.0) * s));
      const float u = static_cast<float>(std::exp(double{t}));
      const float scaledTap = static_cast<float>((1.0 / ((s * 6.283185307179586) * s)) * u);
      scaled[static_cast<std::size_t>(i + 7)] = scaledTap;
      unscaled[static_cast<std::size_t>(i + 7)] = u;
      scaledSum += scaledTap;
      unscaledSum += u;
    }
    for (float& tap : scaled) tap /= scaledSum;
    for (float& tap : unscaled) tap /= unscaledSum;
    const GaussianTaps taps = computeGaussianTaps(sigma);
    EXPECT_EQ(taps.scaledTaps, scaled) << "sigma " << sigma;
    EXPECT_EQ(taps.unscaledTaps, unscaled) << "sigma " << sigma;
  }
}

// For a tiny sigma the factor 1 / (2 pi sigma^2) overflows single precision, for a huge one every
// scaled tap underflows to 0; either would make the first table not-a-number. Both tables are
// then the limit of the Gaussian: a single 1 at the centre, or 1/15 everywhere.
TEST(GaussianTaps, StayFiniteForTinyAndHugeSigma) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  const float infinity = std::numeric_limits<float>::infinity();
  const GaussTable impulse = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  GaussTable box{};
  box.fill(1.0f / 15.0f);
  const std::tuple<float, GaussTable> cases[] = {
      {1e-19f, impulse},  // the factor still fits
      {2e-20f, impulse}, {1e-30f, impulse}, {tiny, impulse}, {1e30f, box}, {infinity, box},
  };
  for (const auto& [sigma, expected] : cases) {
    const GaussianTaps taps = computeGaussianTaps(sigma);
    EXPECT_EQ(taps.scaledTaps, expected) << "sigma " << sigma;
    EXPECT_EQ(taps.unscaledTaps, expected) << "sigma " << sigma;
  }

  // Smoothing with the impulse leaves the integer parts of an image as they are.
  const Image in = randomImage(32, 32, 3);
  const Taps taps = tableTaps(computeGaussianTaps(1e-20f).scaledTaps);
  const Image smoothed = runPass<GaussianSeparablePassY>(runPass<GaussianSeparablePassX>(in, taps), taps);
  Image whole = in;
  for (float& p : whole.pixels) p = truncated(p);
  EXPECT_TRUE(sameImage(smoothed, whole));
}

TEST(GaussianTaps, EveryCallWithSigmaAboveZeroPrintsOneEmptyLineAfterTheDiagnostics) {
  testing::RegisteredExecutor device;
  for (double sigma : {0.0, -1.0, 1e-20, 0.5, 2.0, 1e300}) {
    InMemoryHost host = InMemoryHost::call(testing::randomImage(32, 48, 1, 4), 32, 48, 1, 1, 10, 30, 1, sigma);
    const std::string diagnostics = diagnosticsLine(decodeArguments(host));
    runGateway(host, device.executor);
    EXPECT_EQ(host.console, diagnostics + (sigma > 0 ? "\n" : "")) << "sigma " << sigma;
  }
}

// ---------------------------------------------------------------------------------------------
// Both kinds of pass against the gold, on random images of awkward sizes, in every thread order.

struct Size {
  unsigned width;
  unsigned height;
};

struct OrderAndSize {
  ThreadOrder order;
  Size size;
};

std::string describe(const OrderAndSize& c) {
  static const char* const orderNames[] = {"Forward", "Reversed", "Shuffled"};
  return orderNames[static_cast<int>(c.order)] + std::to_string(c.size.width) + "x" + std::to_string(c.size.height);
}

void PrintTo(const OrderAndSize& c, std::ostream* os) { *os << describe(c); }

std::vector<OrderAndSize> ordersAndSizes() {
  std::vector<OrderAndSize> cases;
  for (ThreadOrder order : {ThreadOrder::forward, ThreadOrder::reversed, ThreadOrder::shuffled})
    for (Size size : {Size{16, 16}, Size{17, 17}, Size{33, 33}, Size{40, 37}, Size{64, 23}, Size{31, 50}})
      cases.push_back({order, size});
  return cases;
}

class AgainstGold : public ::testing::TestWithParam<OrderAndSize> {
 protected:
  ThreadOrder order() const { return GetParam().order; }
  Image input(std::uint32_t seed) const { return randomImage(GetParam().size.width, GetParam().size.height, seed); }
};

TEST_P(AgainstGold, GaussianPasses) {
  const Image in = input(1);
  for (const Taps& taps : {randomTaps(15, 2), tableTaps(computeGaussianTaps(1.3f).scaledTaps)}) {
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassX>(in, taps, order()), gaussXGold(in, taps)));
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassY>(in, taps, order()), gaussYGold(in, taps)));
  }
}

TEST_P(AgainstGold, SobelPasses) {
  const Image in = input(5);
  for (const Taps& taps : {randomTaps(3, 6), Taps{-1, 0, 1}, Taps{1, 2, 1}}) {
    EXPECT_TRUE(sameImage(runPass<SobelSeparablePassX>(in, taps, order()), sobelXGold(in, taps)));
    EXPECT_TRUE(sameImage(runPass<SobelSeparablePassY>(in, taps, order()), sobelYGold(in, taps)));
  }
}

std::string caseName(const ::testing::TestParamInfo<OrderAndSize>& param) { return describe(param.param); }

INSTANTIATE_TEST_SUITE_P(Separable, AgainstGold, ::testing::ValuesIn(ordersAndSizes()), caseName);

// Past 256 tiles along the pass: a tile index held in 8 bits would make tile 256 filter tile 0.
TEST(SeparablePasses, CoverImagesOfMoreThan256Tiles) {
  for (const Size size : {Size{4128, 16}, Size{16, 4128}}) {
    const Image in = randomImage(size.width, size.height, 9);
    const Taps gauss = randomTaps(15, 10);
    const Taps sobel = randomTaps(3, 11);
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassX>(in, gauss), gaussXGold(in, gauss)));
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassY>(in, gauss), gaussYGold(in, gauss)));
    EXPECT_TRUE(sameImage(runPass<SobelSeparablePassX>(in, sobel), sobelXGold(in, sobel)));
    EXPECT_TRUE(sameImage(runPass<SobelSeparablePassY>(in, sobel), sobelYGold(in, sobel)));
  }
}

// ---------------------------------------------------------------------------------------------
// Gaussian passes on scenes known by hand

// With all taps 1 every output pixel counts the image pixels within 7 along the pass: in a single
// tile all 7 halo cells on either side hold 0.
TEST(GaussianPasses, SeeZerosAroundASingleTile) {
  const Image ones(16, 16, 1.0f);
  const Taps allOnes(15, 1.0f);
  const float counts[16] = {8, 9, 10, 11, 12, 13, 14, 15, 15, 14, 13, 12, 11, 10, 9, 8};
  const Image x = runPass<GaussianSeparablePassX>(ones, allOnes);
  const Image y = runPass<GaussianSeparablePassY>(ones, allOnes);
  for (unsigned a = 0; a < 16; ++a)
    for (unsigned b = 0; b < 16; ++b) {
      EXPECT_EQ(x.at(a, b), counts[a]) << "horizontal (" << a << ", " << b << ")";
      EXPECT_EQ(y.at(b, a), counts[a]) << "vertical (" << b << ", " << a << ")";
    }
}

// Tap 0 multiplies the pixel 7 before, tap 14 the pixel 7 after: the image moves by 7 pixels, zeros
// entering at the border. On a 40 x 37 image the last tile column reads columns 32..38 and the last
// tile row rows 32..36, rows 37 and 38 counting as 0; nothing outside the 2 x 2 tiles is written.
TEST(GaussianPasses, TapJMultipliesThePixelAtOffsetJMinus7) {
  const Image in = randomImage(40, 37, 12);
  struct Case {
    std::size_t tap;
    long shift;
  };
  for (const Case c : {Case{0, -7}, Case{14, 7}}) {
    Image movedX(40, 37, UNTOUCHED);
    Image movedY(40, 37, UNTOUCHED);
    for (unsigned y = 0; y < 32; ++y)
      for (unsigned x = 0; x < 32; ++x) {
        movedX.at(x, y) = truncated(in.orZero(x + c.shift, y));
        movedY.at(x, y) = in.orZero(x, y + c.shift);
      }
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassX>(in, oneTap(15, c.tap)), movedX)) << "tap " << c.tap;
    EXPECT_TRUE(sameImage(runPass<GaussianSeparablePassY>(in, oneTap(15, c.tap)), movedY)) << "tap " << c.tap;
  }
  const Image up = runPass<GaussianSeparablePassY>(in, oneTap(15, 14));
  EXPECT_EQ(up.at(3, 29), in.at(3, 36));
  EXPECT_EQ(up.at(3, 30), 0.0f);
  const Image left = runPass<GaussianSeparablePassX>(in, oneTap(15, 14));
  EXPECT_EQ(left.at(31, 3), truncated(in.at(38, 3)));
}

TEST(GaussianPasses, TruncateTowardZeroOnlyInTheHorizontalPass) {
  Image in(16, 16);
  in.at(4, 4) = 3.75f;
  in.at(9, 9) = -2.5f;
  const Image x = runPass<GaussianSeparablePassX>(in, oneTap(15, 7));
  const Image y = runPass<GaussianSeparablePassY>(in, oneTap(15, 7));
  EXPECT_EQ(x.at(4, 4), 3.0f);
  EXPECT_EQ(x.at(9, 9), -2.0f);
  EXPECT_EQ(y.at(4, 4), 3.75f);
  EXPECT_EQ(y.at(9, 9), -2.5f);
}

// A constant image comes out as v times the sum of the taps inside the image: all of them from 7
// pixels inside the border on, taps 7..14 at the first pixel and 0..7 at the last. The taps are
// distinct multiples of 1/128, so that every product and sum is exact and a reversed table shows.
TEST(GaussianPasses, ConstantImagesDarkenOnlyWithin7PixelsOfTheBorder) {
  Taps taps(15);
  for (std::size_t j = 0; j < 15; ++j) taps[j] = static_cast<float>(j + 1) / 128.0f;
  const float v = 100.0f;
  const float all = v * 120 / 128;   // taps 0..14
  const float first = v * 92 / 128;  // taps 7..14
  const float last = v * 36 / 128;   // taps 0..7
  const Image in(48, 48, v);
  const Image x = runPass<GaussianSeparablePassX>(in, taps);
  const Image y = runPass<GaussianSeparablePassY>(in, taps);
  for (unsigned a = 0; a < 48; a += 5) {
    EXPECT_EQ(x.at(0, a), first);
    EXPECT_EQ(x.at(47, a), last);
    EXPECT_EQ(y.at(a, 0), first);
    EXPECT_EQ(y.at(a, 47), last);
    for (unsigned b = 7; b <= 40; ++b) {
      EXPECT_EQ(x.at(b, a), all) << "(" << b << ", " << a << ")";
      EXPECT_EQ(y.at(a, b), all) << "(" << a << ", " << b << ")";
    }
  }
  EXPECT_NE(x.at(6, 0), all);
  EXPECT_NE(y.at(0, 41), all);
}

// ---------------------------------------------------------------------------------------------
// Sobel passes: the gradient images as the schedule builds them

struct Gradients {
  Image x;
  Image y;
};

Gradients sobelGradients(const Image& grey) {
  auto taps = [](const std::array<float, 3>& t) { return Taps(t.begin(), t.end()); };
  return {runPass<SobelSeparablePassY>(runPass<SobelSeparablePassX>(grey, taps(SOBEL_DERIV_TAPS_X)),
                                       taps(SOBEL_SMOOTH_TAPS_Y)),
          runPass<SobelSeparablePassY>(runPass<SobelSeparablePassX>(grey, taps(SOBEL_SMOOTH_TAPS_X)),
                                       taps(SOBEL_DERIV_TAPS_Y))};
}

// Zeros outside the image make the border of a constant image an edge: right minus left along the
// columns, above minus below along the rows.
TEST(SobelGradients, ConstantImageIsFlatInsideAndStepsDownAtTheBorders) {
  const float v = 100.0f;
  const Gradients g = sobelGradients(Image(48, 32, v));
  for (unsigned y = 1; y < 31; ++y) {
    EXPECT_EQ(g.x.at(0, y), 4 * v) << y;
    EXPECT_EQ(g.x.at(47, y), -4 * v) << y;
    for (unsigned x = 1; x < 47; ++x) EXPECT_EQ(g.x.at(x, y), 0.0f) << "(" << x << ", " << y << ")";
  }
  for (unsigned x = 1; x < 47; ++x) {
    EXPECT_EQ(g.y.at(x, 0), -4 * v) << x;
    EXPECT_EQ(g.y.at(x, 31), 4 * v) << x;
    for (unsigned y = 1; y < 31; ++y) EXPECT_EQ(g.y.at(x, y), 0.0f) << "(" << x << ", " << y << ")";
  }
  EXPECT_EQ(g.x.at(0, 0), 3 * v);
  EXPECT_EQ(g.y.at(0, 0), -3 * v);
  EXPECT_EQ(g.x.at(47, 31), -3 * v);
  EXPECT_EQ(g.y.at(47, 31), 3 * v);
}

// Steps and single bright lines, placed on and beside the tile seams at 16 and 32: the gradient
// points to the brighter side, +x toward larger columns, +y toward smaller rows.
TEST(SobelGradients, PointTowardTheBrighterSideAcrossTileSeams) {
  struct Scene {
    const char* name;
    bool vertical;  // a line or step across x (varies along x) rather than across y
    bool (*bright)(unsigned position);
    std::vector<std::pair<unsigned, float>> expected;  // position along the varying axis, gradient
  };
  const Scene scenes[] = {
      {"step at x = 20", true, [](unsigned p) { return p >= 20; }, {{18, 0}, {19, 400}, {20, 400}, {21, 0}}},
      {"step at y = 20", false, [](unsigned p) { return p < 20; }, {{18, 0}, {19, 400}, {20, 400}, {21, 0}}},
      {"column at x = 16", true, [](unsigned p) { return p == 16; }, {{14, 0}, {15, 400}, {16, 0}, {17, -400}}},
      {"row at y = 16", false, [](unsigned p) { return p == 16; }, {{14, 0}, {15, -400}, {16, 0}, {17, 400}}},
      {"column at x = 31", true, [](unsigned p) { return p == 31; }, {{30, 400}, {31, 0}, {32, -400}}},
      {"row at y = 32", false, [](unsigned p) { return p == 32; }, {{31, -400}, {32, 0}, {33, 400}}},
  };
  for (const Scene& s : scenes) {
    SCOPED_TRACE(s.name);
    Image grey(48, 48);
    for (unsigned y = 0; y < 48; ++y)
      for (unsigned x = 0; x < 48; ++x) grey.at(x, y) = s.bright(s.vertical ? x : y) ? 100.0f : 0.0f;
    const Gradients g = sobelGradients(grey);
    const Image& along = s.vertical ? g.x : g.y;
    const Image& across = s.vertical ? g.y : g.x;
    for (unsigned other = 1; other < 47; ++other)
      for (const auto& [position, gradient] : s.expected) {
        const unsigned x = s.vertical ? position : other;
        const unsigned y = s.vertical ? other : position;
        EXPECT_EQ(along.at(x, y), gradient) << "(" << x << ", " << y << ")";
        EXPECT_EQ(across.at(x, y), 0.0f) << "(" << x << ", " << y << ")";
      }
  }
}

TEST(SobelPasses, TruncateTowardZeroOnlyInTheHorizontalPass) {
  Image in(16, 16);
  in.at(4, 4) = 2.9f;
  in.at(9, 9) = -2.5f;
  const Taps identity{0, 1, 0};
  const Image x = runPass<SobelSeparablePassX>(in, identity);
  const Image y = runPass<SobelSeparablePassY>(in, identity);
  EXPECT_EQ(x.at(4, 4), 2.0f);
  EXPECT_EQ(x.at(9, 9), -2.0f);
  EXPECT_EQ(y.at(4, 4), 2.9f);
  EXPECT_EQ(y.at(9, 9), -2.5f);
}

// On a 40 x 37 image the last tile column reads column 32, the last tile row row 32; nothing
// outside the 2 x 2 tiles is written.
TEST(SobelPasses, LastTilesReadThePixelBeyondThemAndWriteOnlyTheirOwn) {
  const Image in = randomImage(40, 37, 13);
  const Taps next{0, 0, 1};
  const Image x = runPass<SobelSeparablePassX>(in, next);
  const Image y = runPass<SobelSeparablePassY>(in, next);
  for (unsigned a = 0; a < 32; ++a) {
    EXPECT_EQ(x.at(31, a), truncated(in.at(32, a))) << a;
    EXPECT_EQ(y.at(a, 31), in.at(a, 32)) << a;
  }
  for (unsigned b = 0; b < 37; ++b)
    for (unsigned a = 0; a < 40; ++a)
      if (a >= 32 || b >= 32) {
        EXPECT_EQ(x.at(a, b), UNTOUCHED) << "(" << a << ", " << b << ")";
        EXPECT_EQ(y.at(a, b), UNTOUCHED) << "(" << a << ", " << b << ")";
      }
}

}  // namespace
}  // namespace quarlen
