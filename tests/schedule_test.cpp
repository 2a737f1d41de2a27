// The pipeline schedule: which kernels are launched, in which order, with which arguments, and the
// copies and synchronisation around them, as the CPU executor's log shows them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/pipeline.h"
#include "support/fixtures.h"

namespace quarlen {
namespace {

using testing::linesStartingWith;
using testing::randomImage;
using testing::RegisteredExecutor;

// Device addresses in allocation order: the two byte buffers, then the workspace.
enum Buffer : int {
  deviceInput = 1,
  deviceOutput,
  sobelDerivTapsX,
  sobelSmoothTapsY,
  sobelSmoothTapsX,
  sobelDerivTapsY,
  greyImage,
  passScratch,
  gradXImage,
  gradYImage,
  strengthImage,
  suppressedImage,
  directionImage,
  gaussTapsX,
  gaussTapsY,
};

std::string at(int buffer) { return "@" + std::to_string(buffer); }

std::vector<std::string> runAndLog(std::size_t rows, std::size_t columns, int channels, double sigma, double passes,
                                   PipelineOptions options = {}) {
  RegisteredExecutor device({.keepLog = true});
  const std::size_t planes = channels == 3 ? 3 : 1;
  InMemoryHost host = InMemoryHost::call(randomImage(rows, columns * planes, 1, 5), rows, columns * planes, 1, channels,
                                         10, 30, passes, sigma);
  runGateway(host, device.executor, options);
  return linesStartingWith(device.executor.log(), {"launch", "configure", "copy @", "sync"});
}

TEST(Schedule, LaunchesEveryStageWithItsArgumentsForAColourImage) {
  const std::string size = " 48 32";  // iWidth, iHeight
  const std::string grid = " grid 3x2 (";
  const std::vector<std::string> expected = {
      "launch loadConvertData" + grid + at(deviceInput) + " " + at(greyImage) + size + ")",
      "launch gaussianSeparablePassX" + grid + at(greyImage) + " " + at(passScratch) + size + " " + at(gaussTapsX) +
          ")",
      "launch gaussianSeparablePassY" + grid + at(passScratch) + " " + at(greyImage) + size + " " + at(gaussTapsY) +
          ")",
      "launch sobelSeparablePassX" + grid + at(greyImage) + " " + at(passScratch) + size + " " + at(sobelDerivTapsX) +
          ")",
      "launch sobelSeparablePassY" + grid + at(passScratch) + " " + at(gradXImage) + size + " " + at(sobelSmoothTapsY) +
          ")",
      "launch sobelSeparablePassX" + grid + at(greyImage) + " " + at(passScratch) + size + " " + at(sobelSmoothTapsX) +
          ")",
      "launch sobelSeparablePassY" + grid + at(passScratch) + " " + at(gradYImage) + size + " " + at(sobelDerivTapsY) +
          ")",
      "launch cannyGradientStrengthDirection" + grid + at(gradXImage) + " " + at(gradYImage) + size + " " +
          at(strengthImage) + " " + at(directionImage) + ")",
      "launch cannyNonmaxSupression" + grid + at(directionImage) + " " + at(strengthImage) + " " + at(suppressedImage) +
          size + ")",
      "launch cannyHysteresisBlockShared" + grid + at(suppressedImage) + " " + at(strengthImage) + size + " 10 30)",
      "copy " + at(strengthImage) + "->" + at(suppressedImage) + " 6144",
      "sync",
      "launch cannyHysteresisBlockShared" + grid + at(suppressedImage) + " " + at(strengthImage) + size + " 10 30)",
      "copy " + at(strengthImage) + "->" + at(suppressedImage) + " 6144",
      "sync",
      "launch cannyBlockConverter" + grid + at(strengthImage) + " " + at(deviceOutput) + size + ")",
      "copy " + at(deviceOutput) + "->host 4608",
  };
  EXPECT_EQ(runAndLog(32, 48, 3, 1.0, 2), expected);
}

// The launches of a call, by kernel name, as the schedule must issue them.
std::vector<std::string> expectedStages(int channels, bool smoothing, int passes, bool candidateList = false) {
  std::vector<std::string> stages;
  if (channels == 3) stages.push_back("loadConvertData");
  if (channels == 1) stages.push_back("loadConvertData8");
  if (smoothing) stages.insert(stages.end(), {"gaussianSeparablePassX", "gaussianSeparablePassY"});
  stages.insert(stages.end(), {"sobelSeparablePassX", "sobelSeparablePassY", "sobelSeparablePassX",
                               "sobelSeparablePassY", "cannyGradientStrengthDirection", "cannyNonmaxSupression"});
  for (int pass = 0; pass < passes; ++pass)
    stages.insert(stages.end(),
                  {candidateList ? "cannyHysteresisBlock" : "cannyHysteresisBlockShared", "copy", "sync"});
  if (channels == 3) stages.insert(stages.end(), {"cannyBlockConverter", "download"});
  if (channels == 1) stages.insert(stages.end(), {"cannyBlockConverter8", "download"});
  return stages;
}

std::vector<std::string> stagesOf(const std::vector<std::string>& log) {
  std::vector<std::string> stages;
  for (const std::string& line : log) {
    if (line.rfind("launch ", 0) == 0)
      stages.push_back(line.substr(7, line.find(' ', 7) - 7));
    else if (line.rfind("copy ", 0) == 0)
      stages.push_back(line.find("->host") != std::string::npos ? "download" : "copy");
    else
      stages.push_back(line);
  }
  return stages;
}

TEST(Schedule, RunsTheStagesOfEveryChannelCountSmoothingAndPassCount) {
  for (int channels : {1, 3, 2})
    for (double sigma : {0.0, 1.0, -1.0})
      for (int passes : {0, 1, 3}) {
        SCOPED_TRACE("channels " + std::to_string(channels) + " sigma " + std::to_string(sigma) + " passes " +
                     std::to_string(passes));
        EXPECT_EQ(stagesOf(runAndLog(32, 32, channels, sigma, passes)), expectedStages(channels, sigma > 0, passes));
      }
}

TEST(Schedule, RunsNoPassForNegativePassCounts) {
  EXPECT_EQ(stagesOf(runAndLog(32, 32, 1, 0, -3)), expectedStages(1, false, 0));
}

TEST(Schedule, CanRunTheCandidateListKernelInsteadOfTheSweeps) {
  EXPECT_EQ(stagesOf(runAndLog(32, 32, 3, 0, 2, {HysteresisKernel::candidateList})), expectedStages(3, false, 2, true));
}

TEST(Schedule, ARefusedLaunchIsSkippedWhileItsCopyAndSynchronisationStillRun) {
  // Fewer than 16 columns: the grid has no blocks and the executor refuses every configuration.
  const std::vector<std::string> log = runAndLog(32, 15, 3, 1.0, 2);
  const std::string refused = "configure refused grid 0x2x1 block 16x16x1";
  const std::string copy = "copy " + at(strengthImage) + "->" + at(suppressedImage) + " 1920";
  const std::vector<std::string> expected = {
      refused, refused,
      refused, refused,
      refused, refused,
      refused, refused,
      refused,  // ingest .. suppression
      refused, copy,
      "sync",  refused,
      copy,    "sync",                                      // two passes
      refused, "copy " + at(deviceOutput) + "->host 1440",  // output
  };
  EXPECT_EQ(log, expected);
}

TEST(Schedule, LaunchGridCoversTheWholeTilesOnly) {
  EXPECT_EQ(launchGeometry(40, 37).grid, (Dim3{2, 2, 1}));
  EXPECT_EQ(launchGeometry(17, 17).grid, (Dim3{1, 1, 1}));
  EXPECT_EQ(launchGeometry(15, 640).grid, (Dim3{0, 40, 1}));
  EXPECT_EQ(launchGeometry(65535, 4112).grid, (Dim3{4095, 257, 1}));
  EXPECT_EQ(launchGeometry(40, 37).block, (Dim3{16, 16, 1}));
}

}  // namespace
}  // namespace quarlen
