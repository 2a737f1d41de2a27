// One call of the module: edges = quarlen(image, channels, thresholdLow, thresholdHigh,
// hysteresisIts, sigma), from the decoding of its inputs to the result.
#pragma once

#include <cstdint>
#include <string>

#include "host/call.h"
#include "host/pipeline.h"

namespace quarlen {

struct GatewayArguments {
  std::int32_t channels = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  float thresholdLow = 0.0f;
  float thresholdHigh = 0.0f;
  std::int32_t hysteresisIts = 0;
  float sigma = 0.0f;
};

inline constexpr int GATEWAY_INPUTS = 6;
inline constexpr std::int32_t MAX_IMAGE_EXTENT = 65535;

// Decodes and checks the six inputs; throws QuarlenError naming the input that is wrong.
GatewayArguments decodeArguments(const HostInterface& host);

// "matrix dims <height> <width>\n thresholdlow <low>, thresholdhigh <high>,hysteresisIts <its>\n"
std::string diagnosticsLine(const GatewayArguments& arguments);

// Runs one whole call. Overlapping calls are serialised. Throws QuarlenError on bad input or when
// the device fails; nothing stays allocated on the device either way.
void runGateway(HostInterface& host, GpuRuntime& runtime, const PipelineOptions& options = {});

}  // namespace quarlen
