// The transfer kernels: caller bytes -> grey floats, edge map -> caller bytes, and the grey round
// trip, against per-pixel formulas over the caller's column-major layout.
#include "kernels/transfer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "support/fixtures.h"

namespace quarlen {
namespace {

using cpu::CpuExecutor;
using cpu::ThreadOrder;
using testing::randomImage;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

Dim3 gridFor(std::uint32_t width, std::uint32_t height) { return Dim3{width / 16, height / 16, 1}; }

// The grey level of one colour pixel, written out: plane 1 times 0.59, then plane 0 times 0.11 and
// plane 2 times 0.3 added with one rounding each, truncated toward zero.
float goldGrey(std::uint8_t c0, std::uint8_t c1, std::uint8_t c2) {
  float t = static_cast<float>(c1) * 0.59f;
  t = std::fma(static_cast<float>(c0), 0.11f, t);
  t = std::fma(static_cast<float>(c2), 0.3f, t);
  return std::trunc(t);
}

std::uint8_t byteAt(const std::vector<std::uint8_t>& image, std::uint32_t x, std::uint32_t y, std::uint32_t plane,
                    std::uint32_t width, std::uint32_t height) {
  return image[y + x * height + plane * width * height];
}

TEST(Layout, PlacesPixelsInTheByteAndFloatImages) {
  EXPECT_EQ(byteOffset(17, 5, 1, 32, 16), 789u);
  EXPECT_EQ(elementIndex(17, 5, 32), 177u);
  EXPECT_EQ(17 / TILE_SIZE, 1u);  // block (1, 0), thread (1, 5)
  EXPECT_EQ(17 % TILE_SIZE, 1u);
  EXPECT_EQ(byteOffset(1, 0, 0, 32, 16), 16u);
  EXPECT_EQ(elementIndex(1, 0, 32), 1u);
  EXPECT_EQ(wholeTileExtent(17), 16u);
  EXPECT_EQ(stagingIndex(2, 3, 4), 2u * 256 + 4 * 16 + 3);
}

TEST(Ingest, ConvertsColourPixelsWithTheGreyWeights) {
  struct Case {
    std::uint8_t c0, c1, c2;
    float grey;
  };
  const Case cases[] = {
      {0, 0, 0, 0},    {255, 255, 255, 255}, {255, 0, 0, 28},  {0, 255, 0, 150},     {0, 0, 255, 76},
      {0, 100, 0, 58}, {0, 0, 100, 30},      {15, 15, 15, 14}, {120, 120, 120, 119}, {240, 240, 240, 239},
  };
  std::vector<std::uint8_t> image(16 * 16 * 3, 0);
  for (std::uint32_t i = 0; i < std::size(cases); ++i) {
    image[byteOffset(i, 3, 0, 16, 16)] = cases[i].c0;
    image[byteOffset(i, 3, 1, 16, 16)] = cases[i].c1;
    image[byteOffset(i, 3, 2, 16, 16)] = cases[i].c2;
  }
  std::vector<float> grey(16 * 16, NaN);
  CpuExecutor executor;
  executor.runGrid<LoadConvertData>(gridFor(16, 16), static_cast<const std::uint8_t*>(image.data()), grey.data(),
                                    std::uint16_t{16}, std::uint16_t{16});
  for (std::uint32_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(grey[elementIndex(i, 3, 16)], cases[i].grey) << "case " << i;
}

TEST(Ingest, TakesOnePlaneBytesUnchanged) {
  std::vector<std::uint8_t> image(16 * 16, 0);
  image[byteOffset(4, 9, 0, 16, 16)] = 200;
  std::vector<float> grey(16 * 16, NaN);
  CpuExecutor executor;
  executor.runGrid<LoadConvertData8>(gridFor(16, 16), static_cast<const std::uint8_t*>(image.data()), grey.data(),
                                     std::uint16_t{16}, std::uint16_t{16});
  EXPECT_EQ(grey[elementIndex(4, 9, 16)], 200.0f);
  EXPECT_EQ(grey[elementIndex(5, 9, 16)], 0.0f);
}

struct Size {
  std::uint32_t width, height;
};

class TransferSizes : public ::testing::TestWithParam<std::tuple<Size, ThreadOrder>> {
 protected:
  std::uint32_t width() const { return std::get<0>(GetParam()).width; }
  std::uint32_t height() const { return std::get<0>(GetParam()).height; }
  bool inTile(std::uint32_t x, std::uint32_t y) const {
    return x < wholeTileExtent(width()) && y < wholeTileExtent(height());
  }
  CpuExecutor executor{{.workers = 2, .order = std::get<1>(GetParam()), .shuffleSeed = 3}};
};

TEST_P(TransferSizes, IngestMatchesTheGreyFormulaInWholeTilesAndWritesNothingElse) {
  const std::uint32_t w = width(), h = height();
  const std::vector<std::uint8_t> colour = randomImage(h, w, 3, w * 31 + h);
  std::vector<float> grey(w * h, NaN), plain(w * h, NaN);
  executor.runGrid<LoadConvertData>(gridFor(w, h), colour.data(), grey.data(), std::uint16_t(w), std::uint16_t(h));
  executor.runGrid<LoadConvertData8>(gridFor(w, h), colour.data(), plain.data(), std::uint16_t(w), std::uint16_t(h));
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x) {
      const float g = grey[elementIndex(x, y, w)], p = plain[elementIndex(x, y, w)];
      if (inTile(x, y)) {
        ASSERT_EQ(g,
                  goldGrey(byteAt(colour, x, y, 0, w, h), byteAt(colour, x, y, 1, w, h), byteAt(colour, x, y, 2, w, h)))
            << "(" << x << ", " << y << ")";
        ASSERT_EQ(p, byteAt(colour, x, y, 0, w, h)) << "(" << x << ", " << y << ")";
      } else {
        ASSERT_TRUE(std::isnan(g) && std::isnan(p)) << "(" << x << ", " << y << ") is in no tile";
      }
    }
}

TEST_P(TransferSizes, OutputMarksExactlyTheEdgePixelsAndWritesOnlyWholeTiles) {
  const std::uint32_t w = width(), h = height();
  const float values[] = {edgeMark, candidateMark, 0.0f, 7.5f, std::nextafter(edgeMark, -4.0f), NaN, edgeMark};
  std::vector<float> strength(w * h);
  for (std::uint32_t i = 0; i < strength.size(); ++i) strength[i] = values[(i * 7919u) % std::size(values)];
  constexpr std::uint8_t untouched = 0x77;
  std::vector<std::uint8_t> colour(w * h * 3, untouched), grey(w * h * 3, untouched);
  executor.runGrid<CannyBlockConverter>(gridFor(w, h), static_cast<const float*>(strength.data()), colour.data(),
                                        std::uint16_t(w), std::uint16_t(h));
  executor.runGrid<CannyBlockConverter8>(gridFor(w, h), static_cast<const float*>(strength.data()), grey.data(),
                                         std::uint16_t(w), std::uint16_t(h));
  for (std::uint32_t plane = 0; plane < 3; ++plane)
    for (std::uint32_t y = 0; y < h; ++y)
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint8_t mark = strength[elementIndex(x, y, w)] == -2.0f ? 255 : 0;
        const std::uint8_t expectColour = inTile(x, y) ? mark : untouched;
        const std::uint8_t expectGrey = inTile(x, y) && plane == 0 ? mark : untouched;
        ASSERT_EQ(byteAt(colour, x, y, plane, w, h), expectColour) << "(" << x << ", " << y << ") plane " << plane;
        ASSERT_EQ(byteAt(grey, x, y, plane, w, h), expectGrey) << "(" << x << ", " << y << ") plane " << plane;
      }
}

TEST_P(TransferSizes, GreyRoundTripGivesTheIngestGreyLevelInAllThreePlanes) {
  const std::uint32_t w = width(), h = height();
  const std::vector<std::uint8_t> colour = randomImage(h, w, 3, w + 7 * h);
  std::vector<float> grey(w * h, NaN);
  std::vector<std::uint8_t> roundTrip(w * h * 3, 0x77);
  executor.runGrid<LoadConvertData>(gridFor(w, h), colour.data(), grey.data(), std::uint16_t(w), std::uint16_t(h));
  executor.runGrid<MatlabGrayScaleTest>(gridFor(w, h), colour.data(), roundTrip.data(), std::uint16_t(w),
                                        std::uint16_t(h));
  for (std::uint32_t plane = 0; plane < 3; ++plane)
    for (std::uint32_t y = 0; y < h; ++y)
      for (std::uint32_t x = 0; x < w; ++x)
        ASSERT_EQ(byteAt(roundTrip, x, y, plane, w, h),
                  inTile(x, y) ? static_cast<std::uint8_t>(grey[elementIndex(x, y, w)]) : 0x77)
            << "(" << x << ", " << y << ") plane " << plane;
}

// 15: no tile; 37 and 18: heights that are not a multiple of 4; 4120: more than 256 tiles across.
INSTANTIATE_TEST_SUITE_P(Transfer, TransferSizes,
                         ::testing::Combine(::testing::Values(Size{15, 15}, Size{16, 16}, Size{17, 17}, Size{40, 37},
                                                              Size{33, 18}, Size{4120, 16}, Size{16, 4120}),
                                            ::testing::Values(ThreadOrder::forward, ThreadOrder::reversed,
                                                              ThreadOrder::shuffled)));

TEST(Transfer, MatlabGrayScaleTestIsLaunchableThroughTheRuntime) {
  testing::RegisteredExecutor device;
  CpuExecutor& executor = device.executor;
  const std::vector<std::uint8_t> colour = randomImage(32, 48, 3, 11);
  DeviceAddress in = 0, out = 0;
  ASSERT_EQ(executor.malloc(&in, colour.size()), 0);
  ASSERT_EQ(executor.malloc(&out, colour.size()), 0);
  executor.copyHostToDevice(in, colour.data(), colour.size());
  const std::uint16_t width = 48, height = 32;
  ASSERT_EQ(executor.configureCall(Dim3{3, 2, 1}, Dim3{16, 16, 1}, 0, 0), 0);
  executor.setupArgument(&in, 4, 0);
  executor.setupArgument(&out, 4, 4);
  executor.setupArgument(&width, 2, 8);
  executor.setupArgument(&height, 2, 10);
  ASSERT_EQ(executor.launch(KernelId::matlabGrayScaleTest), 0);
  std::vector<std::uint8_t> result(colour.size());
  executor.copyDeviceToHost(result.data(), out, result.size());
  for (std::uint32_t x = 0; x < 48; ++x)
    for (std::uint32_t y = 0; y < 32; ++y)
      ASSERT_EQ(
          byteAt(result, x, y, 2, 48, 32),
          goldGrey(byteAt(colour, x, y, 0, 48, 32), byteAt(colour, x, y, 1, 48, 32), byteAt(colour, x, y, 2, 48, 32)));
  executor.free(in);
  executor.free(out);
}

}  // namespace
}  // namespace quarlen
