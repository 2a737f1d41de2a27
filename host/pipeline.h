// The fixed order of work on the device in one call.
#pragma once

#include <cstdint>

#include "host/call.h"
#include "host/launch.h"

namespace quarlen {

struct DeviceWorkspace;
struct GatewayArguments;

// Which kernel runs the hysteresis passes. The module's own calls always use the block-synchronous
// sweeps; the candidate-list kernel is there for C++ callers that ask for it.
enum class HysteresisKernel { blockShared, candidateList };

struct PipelineOptions {
  HysteresisKernel hysteresis = HysteresisKernel::blockShared;
};

// 16 x 16 blocks over the whole tiles of the image: floor(width / 16) x floor(height / 16).
LaunchGeometry launchGeometry(std::int32_t width, std::int32_t height);

// Launches every stage, then copies the edge image into `result` (height x width x 3 bytes).
void runPipeline(Call& call, const GatewayArguments& arguments, const DeviceWorkspace& workspace,
                 DeviceAddress deviceInput, DeviceAddress deviceOutput, std::uint8_t* result,
                 const PipelineOptions& options = {});

}  // namespace quarlen
