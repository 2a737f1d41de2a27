// The gateway: decoding of the six inputs, the diagnostics line, the result array, and the errors
// that bad input gets instead of a crash or a silent wrong result.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "host/errors.h"
#include "host/gaussian_taps.h"
#include "host/workspace.h"
#include "support/fixtures.h"

namespace quarlen {
namespace {

using testing::randomImage;
using testing::RegisteredExecutor;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(Decoding, FollowsTheCallersArrayShapeAndTruncatesWholeNumbers) {
  struct Case {
    std::size_t rows, columnsTimesPlanes;
    double channels, hysteresisIts;
    std::int32_t expectChannels, expectWidth, expectIts;
  };
  const Case cases[] = {
      {480, 640 * 3, 3, 10, 3, 640, 10},    // colour image
      {480, 640 * 3, 3.7, 2.9, 3, 640, 2},  // 3.7 is taken as 3, 2.9 as 2
      {480, 640, 1, 1, 1, 640, 1},          // grey image
      {480, 640 * 3, 1, 1, 1, 1920, 1},     // colour image passed as one plane
      {480, 640, 3, 1, 3, 213, 1},          // two-dimensional array passed as three planes
      {480, 640, 2, -4, 2, 320, -4},        // other channel counts and negative passes are kept
  };
  for (const Case& c : cases) {
    InMemoryHost host =
        InMemoryHost::call({}, c.rows, c.columnsTimesPlanes, 1, c.channels, 0.1, 0.3, c.hysteresisIts, 0);
    const GatewayArguments a = decodeArguments(host);
    EXPECT_EQ(a.channels, c.expectChannels);
    EXPECT_EQ(a.width, c.expectWidth);
    EXPECT_EQ(a.height, static_cast<std::int32_t>(c.rows));
    EXPECT_EQ(a.hysteresisIts, c.expectIts);
  }
}

TEST(Decoding, ThresholdsAndSigmaAreTakenAsTheyComeInSinglePrecision) {
  InMemoryHost host = InMemoryHost::call({}, 16, 16, 1, 1, 0.1, NaN, 1, -2.5);
  const GatewayArguments a = decodeArguments(host);
  EXPECT_EQ(a.thresholdLow, 0.1f);
  EXPECT_TRUE(std::isnan(a.thresholdHigh));
  EXPECT_EQ(a.sigma, -2.5f);
}

TEST(Diagnostics, PrintsRowsColumnsThresholdsAndPassesExactly) {
  RegisteredExecutor device;
  InMemoryHost host = InMemoryHost::call(std::vector<std::uint8_t>(480 * 640 * 3), 480, 640, 3, 3, 0.1, 0.3, 10, 0);
  runGateway(host, device.executor);
  EXPECT_EQ(host.console, "matrix dims 480 640\n thresholdlow 0.100000, thresholdhigh 0.300000,hysteresisIts 10\n");

  InMemoryHost smoothed = InMemoryHost::call(std::vector<std::uint8_t>(32 * 16), 32, 16, 1, 1, 2, 7.5, 0, 1.5);
  runGateway(smoothed, device.executor);
  EXPECT_EQ(smoothed.console, "matrix dims 32 16\n thresholdlow 2.000000, thresholdhigh 7.500000,hysteresisIts 0\n\n");
}

TEST(Result, IsHeightByWidthByThreeAndZeroForABlackImage) {
  RegisteredExecutor device;
  for (std::size_t planes : {1u, 3u}) {
    InMemoryHost host = InMemoryHost::call(std::vector<std::uint8_t>(48 * 64 * planes), 48, 64, planes,
                                           static_cast<double>(planes), 0.1, 0.3, 10, 0);
    runGateway(host, device.executor);
    EXPECT_EQ(host.resultRows, 48u);
    EXPECT_EQ(host.resultColumns, 64u);
    EXPECT_EQ(host.result, std::vector<std::uint8_t>(48 * 64 * 3, 0));
  }
}

TEST(Result, OtherChannelCountsReturnZerosWithoutTouchingTheImage) {
  RegisteredExecutor device({.keepLog = true});
  InMemoryHost host = InMemoryHost::call(randomImage(32, 64, 2, 3), 32, 64, 2, 2, 0, 1, 3, 1);
  runGateway(host, device.executor);
  EXPECT_EQ(host.result, std::vector<std::uint8_t>(32 * 64 * 3, 0));
  const auto copies = testing::linesStartingWith(device.executor.log(), {"copy host->@1 ", "copy @2->host"});
  EXPECT_TRUE(copies.empty());
}

struct BadInput {
  const char* name;
  void (*spoil)(InMemoryHost&);
  const char* id;
  const char* mentions;
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, AreRefusedWithAnErrorNamingThemBeforeAnythingIsAllocated) {
  RegisteredExecutor device({.keepLog = true});
  InMemoryHost host = InMemoryHost::call(std::vector<std::uint8_t>(32 * 32 * 3), 32, 32, 3, 3, 0.1, 0.3, 2, 0);
  GetParam().spoil(host);
  try {
    runGateway(host, device.executor);
    FAIL() << "no error";
  } catch (const QuarlenError& error) {
    EXPECT_EQ(error.id(), GetParam().id);
    EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos) << error.what();
  }
  EXPECT_TRUE(device.executor.log().empty());
  EXPECT_TRUE(host.console.empty());
  EXPECT_EQ(device.executor.liveAllocations(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Gateway, BadInputs,
    ::testing::Values(
        BadInput{"FiveInputs", [](InMemoryHost& h) { h.inputs = 5; }, "quarlen:usage", "got 5"},
        BadInput{"SevenInputs", [](InMemoryHost& h) { h.inputs = 7; }, "quarlen:usage", "got 7"},
        BadInput{"TwoOutputs", [](InMemoryHost& h) { h.outputs = 2; }, "quarlen:usage", "one output"},
        BadInput{"DoubleImage", [](InMemoryHost& h) { h.imageClass = "double"; }, "quarlen:badImage", "got double"},
        BadInput{"EmptyChannels", [](InMemoryHost& h) { h.scalars[0].reset(); }, "quarlen:badArgument", "channels"},
        BadInput{"TextSigma", [](InMemoryHost& h) { h.scalars[4].reset(); }, "quarlen:badArgument", "sigma"},
        BadInput{"EmptyThresholdHigh", [](InMemoryHost& h) { h.scalars[2].reset(); }, "quarlen:badArgument",
                 "thresholdHigh"},
        BadInput{"ZeroChannels", [](InMemoryHost& h) { h.scalars[0] = 0; }, "quarlen:badArgument", "channels"},
        BadInput{"FractionalChannels", [](InMemoryHost& h) { h.scalars[0] = 0.5; }, "quarlen:badArgument", "channels"},
        BadInput{"NegativeChannels", [](InMemoryHost& h) { h.scalars[0] = -3; }, "quarlen:badArgument", "channels"},
        BadInput{"NaNChannels", [](InMemoryHost& h) { h.scalars[0] = NaN; }, "quarlen:badArgument", "channels"},
        BadInput{"NaNPasses", [](InMemoryHost& h) { h.scalars[3] = NaN; }, "quarlen:badArgument", "hysteresisIts"},
        BadInput{"HugePasses", [](InMemoryHost& h) { h.scalars[3] = 1e10; }, "quarlen:badArgument", "hysteresisIts"},
        BadInput{"TooManyRows", [](InMemoryHost& h) { h.rows = 65536; }, "quarlen:imageTooLarge", "65536 rows"},
        BadInput{"TooManyColumns", [](InMemoryHost& h) { h.columnsTimesPlanes = 65536 * 3; }, "quarlen:imageTooLarge",
                 "65536 columns"},
        BadInput{"TooManyBytes",
                 [](InMemoryHost& h) {
                   h.rows = 40000;
                   h.columnsTimesPlanes = 40000 * 3;
                 },
                 "quarlen:imageTooLarge", "40000 x 40000"}),
    [](const ::testing::TestParamInfo<BadInput>& p) { return p.param.name; });

TEST(DeviceMemory, AFailedAllocationIsAnErrorAndFreesEverything) {
  // Capacities from "not even the input" to "all but the last table" make each allocation fail.
  const std::size_t imageBytes = 64 * 64 * 3;
  for (std::size_t capacity = 0; capacity < 2 * imageBytes + 4 * 12 + 7 * 64 * 64 * 4 + 60; capacity += 997) {
    RegisteredExecutor device({.capacityBytes = capacity});
    InMemoryHost host = InMemoryHost::call(randomImage(64, 64, 3, 1), 64, 64, 3, 3, 10, 30, 2, 1);
    try {
      runGateway(host, device.executor);
      ADD_FAILURE() << "no error with " << capacity << " bytes";
    } catch (const QuarlenError& error) {
      EXPECT_EQ(error.id(), "quarlen:outOfMemory");
    }
    EXPECT_EQ(device.executor.liveAllocations(), 0u) << capacity << " bytes";
  }
}

TEST(DeviceMemory, NothingStaysAllocatedAfterCalls) {
  RegisteredExecutor device({.keepLog = true});
  for (int call = 0; call < 2; ++call) {
    InMemoryHost host = InMemoryHost::call(randomImage(40, 37, 3, 9), 40, 37, 3, 3, 10, 30, 3, 1);
    runGateway(host, device.executor);
  }
  EXPECT_EQ(device.executor.liveAllocations(), 0u);
  const auto log = device.executor.log();
  EXPECT_EQ(testing::linesStartingWith(log, {"malloc"}).size(), 30u);
  EXPECT_EQ(testing::linesStartingWith(log, {"free"}).size(), 30u);
}

TEST(Workspace, HoldsTheSobelTablesAndTheGaussianTablesOnlyWhenSmoothing) {
  RegisteredExecutor device;
  InMemoryHost host;
  Call call{host, device.executor};
  auto read = [&](const DeviceBuffer& buffer) {
    std::vector<float> values(buffer.bytes() / sizeof(float));
    device.executor.copyDeviceToHost(values.data(), buffer.address(), buffer.bytes());
    return values;
  };
  for (float sigma : {0.0f, 2.0f}) {
    DeviceWorkspace w = setupWorkspace(call, 20, 17, sigma);
    EXPECT_EQ(read(w.sobelDerivTapsX), (std::vector<float>{-1, 0, 1}));
    EXPECT_EQ(read(w.sobelSmoothTapsY), (std::vector<float>{1, 2, 1}));
    EXPECT_EQ(read(w.sobelSmoothTapsX), (std::vector<float>{1, 2, 1}));
    EXPECT_EQ(read(w.sobelDerivTapsY), (std::vector<float>{1, 0, -1}));
    EXPECT_EQ(read(w.greyImage), std::vector<float>(20 * 17, 0.0f));
    const GaussianTaps taps = computeGaussianTaps(sigma);
    if (sigma > 0) {
      EXPECT_EQ(read(w.gaussTapsX), std::vector<float>(taps.scaledTaps.begin(), taps.scaledTaps.end()));
      EXPECT_EQ(read(w.gaussTapsY), std::vector<float>(taps.unscaledTaps.begin(), taps.unscaledTaps.end()));
    } else {
      EXPECT_EQ(read(w.gaussTapsX), std::vector<float>(15, 0.0f));
    }
    releaseWorkspace(w);
    EXPECT_EQ(device.executor.liveAllocations(), 0u);
  }
}

TEST(Concurrency, OverlappingCallsGiveTheResultsOfSeparateCalls) {
  RegisteredExecutor device;
  auto makeHost = [](std::uint32_t seed) {
    return InMemoryHost::call(randomImage(48, 80, 3, seed), 48, 80, 3, 3, 20, 60, 3, seed % 2 ? 1.0 : 0.0);
  };
  std::vector<std::vector<std::uint8_t>> alone;
  for (std::uint32_t seed = 0; seed < 4; ++seed) {
    InMemoryHost host = makeHost(seed);
    runGateway(host, device.executor);
    alone.push_back(host.result);
  }
  std::vector<InMemoryHost> hosts;
  for (std::uint32_t seed = 0; seed < 4; ++seed) hosts.push_back(makeHost(seed));
  std::vector<std::thread> threads;
  for (auto& host : hosts)
    threads.emplace_back([&] {
      for (int repeat = 0; repeat < 5; ++repeat) runGateway(host, device.executor);
    });
  for (auto& thread : threads) thread.join();
  for (std::size_t i = 0; i < hosts.size(); ++i) EXPECT_EQ(hosts[i].result, alone[i]);
  EXPECT_EQ(device.executor.liveAllocations(), 0u);
}

}  // namespace
}  // namespace quarlen
