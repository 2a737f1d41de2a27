// The two 15-tap tables of the Gaussian passes: the sampled Gaussian over offsets -7..7, normalised
// to sum 1, computed along two roads (with and without the 1 / (2 pi sigma^2) factor) that may
// differ in the last bit.
#pragma once

#include <array>
#include <cstddef>

#include "host/call.h"
#include "kernels/gaussian.h"

namespace quarlen {

struct DeviceWorkspace;

using GaussTable = std::array<float, GAUSS_TAPS>;
inline constexpr std::size_t GAUSS_TAP_BYTES = sizeof(GaussTable);

struct GaussianTaps {
  GaussTable scaledTaps;    // for the horizontal pass
  GaussTable unscaledTaps;  // for the vertical pass
};

// The tables for sigma > 0.
GaussianTaps computeGaussianTaps(float sigma);

// Computes the tables, prints one empty line and uploads them into gaussTapsX and gaussTapsY.
void generateGaussianTaps(Call& call, DeviceWorkspace& workspace, float sigma);

}  // namespace quarlen
