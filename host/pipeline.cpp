#include "host/pipeline.h"

#include <cstddef>

#include "host/gateway.h"
#include "host/workspace.h"
#include "kernels/all.h"

namespace quarlen {

LaunchGeometry launchGeometry(std::int32_t width, std::int32_t height) {
  const Dim3 grid{static_cast<unsigned>(width / 16.0), static_cast<unsigned>(height / 16.0), 1};
  return {grid, Dim3{TILE_SIZE, TILE_SIZE, 1}};
}

void runPipeline(Call& call, const GatewayArguments& arguments, const DeviceWorkspace& w, DeviceAddress deviceInput,
                 DeviceAddress deviceOutput, std::uint8_t* result, const PipelineOptions& options) {
  GpuRuntime& runtime = call.runtime;
  const LaunchGeometry geometry = launchGeometry(arguments.width, arguments.height);
  // The kernels take the sizes as unsigned 16-bit values; the gateway keeps them within that range.
  const auto iWidth = static_cast<std::uint16_t>(arguments.width);
  const auto iHeight = static_cast<std::uint16_t>(arguments.height);
  const std::size_t pixels = static_cast<std::size_t>(arguments.width) * static_cast<std::size_t>(arguments.height);

  const DeviceAddress grey = w.greyImage.address();
  const DeviceAddress scratch = w.passScratch.address();
  const DeviceAddress gradX = w.gradXImage.address();
  const DeviceAddress gradY = w.gradYImage.address();
  const DeviceAddress strength = w.strengthImage.address();
  const DeviceAddress suppressed = w.suppressedImage.address();
  const DeviceAddress direction = w.directionImage.address();

  // Ingest.
  if (arguments.channels == 3)
    launchKernel<LoadConvertData>(runtime, geometry, deviceInput, grey, iWidth, iHeight);
  else if (arguments.channels == 1)
    launchKernel<LoadConvertData8>(runtime, geometry, deviceInput, grey, iWidth, iHeight);

  // Smoothing, in place of the grey image.
  if (arguments.sigma > 0.0f) {
    launchKernel<GaussianSeparablePassX>(runtime, geometry, grey, scratch, iWidth, iHeight, w.gaussTapsX.address());
    launchKernel<GaussianSeparablePassY>(runtime, geometry, scratch, grey, iWidth, iHeight, w.gaussTapsY.address());
  }

  // Horizontal, then vertical gradient.
  launchKernel<SobelSeparablePassX>(runtime, geometry, grey, scratch, iWidth, iHeight, w.sobelDerivTapsX.address());
  launchKernel<SobelSeparablePassY>(runtime, geometry, scratch, gradX, iWidth, iHeight, w.sobelSmoothTapsY.address());
  launchKernel<SobelSeparablePassX>(runtime, geometry, grey, scratch, iWidth, iHeight, w.sobelSmoothTapsX.address());
  launchKernel<SobelSeparablePassY>(runtime, geometry, scratch, gradY, iWidth, iHeight, w.sobelDerivTapsY.address());

  launchKernel<CannyGradientStrengthDirection>(runtime, geometry, gradX, gradY, iWidth, iHeight, strength, direction);
  launchKernel<CannyNonmaxSupression>(runtime, geometry, direction, strength, suppressed, iWidth, iHeight);

  // Hysteresis: each pass continues from the output of the one before.
  for (std::int32_t pass = 0; pass < arguments.hysteresisIts; ++pass) {
    if (options.hysteresis == HysteresisKernel::candidateList)
      launchKernel<CannyHysteresisBlock>(runtime, geometry, suppressed, strength, iWidth, iHeight,
                                         arguments.thresholdLow, arguments.thresholdHigh);
    else
      launchKernel<CannyHysteresisBlockShared>(runtime, geometry, suppressed, strength, iWidth, iHeight,
                                               arguments.thresholdLow, arguments.thresholdHigh);
    copyOnDeviceOrThrow(runtime, suppressed, strength, pixels * 4, "the hysteresis pass");
    runtime.synchronize();
  }

  // Output: deviceOutput was cleared when allocated, so bytes outside whole tiles come back as 0.
  if (arguments.channels == 3) {
    launchKernel<CannyBlockConverter>(runtime, geometry, strength, deviceOutput, iWidth, iHeight);
    downloadOrThrow(runtime, result, deviceOutput, pixels * 3, "the edge image");
  } else if (arguments.channels == 1) {
    launchKernel<CannyBlockConverter8>(runtime, geometry, strength, deviceOutput, iWidth, iHeight);
    downloadOrThrow(runtime, result, deviceOutput, pixels, "the edge image");
  }
}

}  // namespace quarlen
