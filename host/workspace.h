// The device buffers of one call: the images between the stages and the tap tables of the
// separable passes. Every buffer is cleared when allocated, so pixels that no kernel writes (those
// outside whole tiles) read as 0 wherever a halo reaches them.
#pragma once

#include <array>

#include "host/call.h"
#include "host/device_buffer.h"

namespace quarlen {

inline constexpr std::array<float, 3> SOBEL_DERIV_TAPS_X = {-1.0f, 0.0f, 1.0f};
inline constexpr std::array<float, 3> SOBEL_SMOOTH_TAPS_Y = {1.0f, 2.0f, 1.0f};
inline constexpr std::array<float, 3> SOBEL_SMOOTH_TAPS_X = {1.0f, 2.0f, 1.0f};
inline constexpr std::array<float, 3> SOBEL_DERIV_TAPS_Y = {1.0f, 0.0f, -1.0f};

struct DeviceWorkspace {
  DeviceBuffer sobelDerivTapsX;
  DeviceBuffer sobelSmoothTapsY;
  DeviceBuffer sobelSmoothTapsX;
  DeviceBuffer sobelDerivTapsY;
  DeviceBuffer greyImage;
  DeviceBuffer passScratch;
  DeviceBuffer gradXImage;
  DeviceBuffer gradYImage;
  DeviceBuffer strengthImage;
  DeviceBuffer suppressedImage;
  DeviceBuffer directionImage;
  DeviceBuffer gaussTapsX;
  DeviceBuffer gaussTapsY;
};

// Selects device 0, allocates and clears every buffer, uploads the Sobel taps and, when sigma is
// above 0, the Gaussian taps. Throws QuarlenError when device memory runs out; whatever was already
// allocated is freed then.
DeviceWorkspace setupWorkspace(Call& call, int width, int height, float sigma);

// Frees the buffers, in allocation order.
void releaseWorkspace(DeviceWorkspace& workspace);

}  // namespace quarlen
