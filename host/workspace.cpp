#include "host/workspace.h"

#include <cstddef>

#include "host/gaussian_taps.h"

namespace quarlen {
namespace {

DeviceBuffer uploadTaps(GpuRuntime& runtime, const std::array<float, 3>& taps, const char* what) {
  DeviceBuffer buffer = DeviceBuffer::allocateCleared(runtime, sizeof taps, what);
  uploadOrThrow(runtime, buffer.address(), taps.data(), sizeof taps, what);
  return buffer;
}

}  // namespace

DeviceWorkspace setupWorkspace(Call& call, int width, int height, float sigma) {
  GpuRuntime& runtime = call.runtime;
  runtime.setDevice(0);
  const std::size_t imageBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  DeviceWorkspace w;
  w.sobelDerivTapsX = uploadTaps(runtime, SOBEL_DERIV_TAPS_X, "sobelDerivTapsX");
  w.sobelSmoothTapsY = uploadTaps(runtime, SOBEL_SMOOTH_TAPS_Y, "sobelSmoothTapsY");
  w.sobelSmoothTapsX = uploadTaps(runtime, SOBEL_SMOOTH_TAPS_X, "sobelSmoothTapsX");
  w.sobelDerivTapsY = uploadTaps(runtime, SOBEL_DERIV_TAPS_Y, "sobelDerivTapsY");
  w.greyImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "greyImage");
  w.passScratch = DeviceBuffer::allocateCleared(runtime, imageBytes, "passScratch");
  w.gradXImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "gradXImage");
  w.gradYImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "gradYImage");
  w.strengthImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "strengthImage");
  w.suppressedImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "suppressedImage");
  w.directionImage = DeviceBuffer::allocateCleared(runtime, imageBytes, "directionImage");
  w.gaussTapsX = DeviceBuffer::allocateCleared(runtime, GAUSS_TAP_BYTES, "gaussTapsX");
  w.gaussTapsY = DeviceBuffer::allocateCleared(runtime, GAUSS_TAP_BYTES, "gaussTapsY");
  if (sigma > 0.0f) generateGaussianTaps(call, w, sigma);
  return w;
}

void releaseWorkspace(DeviceWorkspace& w) {
  for (DeviceBuffer* buffer : {&w.sobelDerivTapsX, &w.sobelSmoothTapsY, &w.sobelSmoothTapsX, &w.sobelDerivTapsY,
                               &w.greyImage, &w.passScratch, &w.gradXImage, &w.gradYImage, &w.strengthImage,
                               &w.suppressedImage, &w.directionImage, &w.gaussTapsX, &w.gaussTapsY})
    buffer->release();
}

}  // namespace quarlen
