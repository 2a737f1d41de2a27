#include "host/gateway.h"

#include <cstdio>
#include <limits>
#include <mutex>
#include <string>

#include "host/errors.h"
#include "host/workspace.h"

namespace quarlen {
namespace {

// The runtime's launch protocol and the device buffers are state of the module; one call at a time.
std::mutex callMutex;

std::string formatNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

constexpr const char* INPUT_NAMES[GATEWAY_INPUTS + 1] = {
    "", "image", "channels", "thresholdLow", "thresholdHigh", "hysteresisIts", "sigma"};

double scalar(const HostInterface& host, int k) {
  const std::optional<double> value = host.scalarInput(k);
  if (!value) {
    throw QuarlenError("quarlen:badArgument", std::string(INPUT_NAMES[k]) + " (input " + std::to_string(k) +
                                                  ") must be a non-empty numeric value");
  }
  return *value;
}

// Truncates toward zero, refusing what a 32-bit integer cannot hold (not-a-number included).
std::int32_t wholeNumber(double value, int k) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) {
    throw QuarlenError("quarlen:badArgument", std::string(INPUT_NAMES[k]) + " (input " + std::to_string(k) +
                                                  ") must be a number within the range of a 32-bit integer, got " +
                                                  formatNumber(value));
  }
  return static_cast<std::int32_t>(value);
}

QuarlenError tooLarge(const std::string& what) { return QuarlenError("quarlen:imageTooLarge", what); }

}  // namespace

GatewayArguments decodeArguments(const HostInterface& host) {
  if (host.inputCount() != GATEWAY_INPUTS) {
    throw QuarlenError("quarlen:usage",
                       "expected 6 inputs, edges = quarlen(image, channels, thresholdLow, thresholdHigh, "
                       "hysteresisIts, sigma); got " +
                           std::to_string(host.inputCount()));
  }
  if (host.outputsRequested() > 1) {
    throw QuarlenError("quarlen:usage",
                       "a call returns one output; " + std::to_string(host.outputsRequested()) + " were requested");
  }
  const ImageInput image = host.imageInput();
  if (image.className != "uint8") {
    throw QuarlenError("quarlen:badImage", "image (input 1) must be of class uint8, got " + image.className);
  }

  GatewayArguments arguments;
  arguments.channels = wholeNumber(scalar(host, 2), 2);
  if (arguments.channels < 1) {
    throw QuarlenError("quarlen:badArgument", "channels (input 2) must be the number of image planes, 1 or 3; got " +
                                                  formatNumber(*host.scalarInput(2)));
  }
  if (image.rows > static_cast<std::size_t>(MAX_IMAGE_EXTENT))
    throw tooLarge("image has " + std::to_string(image.rows) + " rows; at most 65535 are supported");
  const std::size_t width = image.columnsTimesPlanes / static_cast<std::size_t>(arguments.channels);
  if (width > static_cast<std::size_t>(MAX_IMAGE_EXTENT))
    throw tooLarge("image has " + std::to_string(width) + " columns per plane; at most 65535 are supported");
  if (width * image.rows * 4 > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw tooLarge("image of " + std::to_string(image.rows) + " x " + std::to_string(width) +
                   " pixels is too large: its float images would not fit 2 GiB");
  }
  arguments.height = static_cast<std::int32_t>(image.rows);
  arguments.width = static_cast<std::int32_t>(width);

  arguments.thresholdLow = static_cast<float>(scalar(host, 3));
  arguments.thresholdHigh = static_cast<float>(scalar(host, 4));
  arguments.hysteresisIts = wholeNumber(scalar(host, 5), 5);
  arguments.sigma = static_cast<float>(scalar(host, 6));
  return arguments;
}

std::string diagnosticsLine(const GatewayArguments& a) {
  const char* format = "matrix dims %d %d\n thresholdlow %f, thresholdhigh %f,hysteresisIts %d\n";
  const int length = std::snprintf(nullptr, 0, format, a.height, a.width, static_cast<double>(a.thresholdLow),
                                   static_cast<double>(a.thresholdHigh), a.hysteresisIts);
  std::string line(static_cast<std::size_t>(length), '\0');
  std::snprintf(line.data(), line.size() + 1, format, a.height, a.width, static_cast<double>(a.thresholdLow),
                static_cast<double>(a.thresholdHigh), a.hysteresisIts);
  return line;
}

void runGateway(HostInterface& host, GpuRuntime& runtime, const PipelineOptions& options) {
  const GatewayArguments arguments = decodeArguments(host);
  std::lock_guard lock(callMutex);
  Call call{host, runtime};

  const std::size_t pixels = static_cast<std::size_t>(arguments.width) * static_cast<std::size_t>(arguments.height);
  DeviceBuffer deviceInput = DeviceBuffer::allocateCleared(runtime, pixels * 3, "deviceInput");
  DeviceBuffer deviceOutput = DeviceBuffer::allocateCleared(runtime, pixels * 3, "deviceOutput");
  const ImageInput image = host.imageInput();
  if (arguments.channels == 3)
    uploadOrThrow(runtime, deviceInput.address(), image.bytes, pixels * 3, "the image");
  else if (arguments.channels == 1)
    uploadOrThrow(runtime, deviceInput.address(), image.bytes, pixels, "the image");

  std::uint8_t* result = host.createResult(image.rows, static_cast<std::size_t>(arguments.width));
  if (result == nullptr && pixels != 0) {
    throw QuarlenError("quarlen:outOfMemory", "could not create the " + std::to_string(arguments.height) + " x " +
                                                  std::to_string(arguments.width) + " x 3 result");
  }
  host.print(diagnosticsLine(arguments));

  DeviceWorkspace workspace = setupWorkspace(call, arguments.width, arguments.height, arguments.sigma);
  runPipeline(call, arguments, workspace, deviceInput.address(), deviceOutput.address(), result, options);
  releaseWorkspace(workspace);
  deviceInput.release();
  deviceOutput.release();
}

}  // namespace quarlen
