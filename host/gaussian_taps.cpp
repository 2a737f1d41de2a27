#include "host/gaussian_taps.h"

#include <cmath>

#include "host/workspace.h"

namespace quarlen {

GaussianTaps computeGaussianTaps(float sigma) {
  const double s = sigma;
  const double scale = 1.0 / ((s * 6.283185307179586) * s);

  GaussianTaps taps{};
  float scaledSum = 0.0f;
  float unscaledSum = 0.0f;
  for (int i = -static_cast<int>(GAUSS_HALO); i <= static_cast<int>(GAUSS_HALO); ++i) {
    const auto j = static_cast<std::size_t>(i + static_cast<int>(GAUSS_HALO));
    const auto t = static_cast<float>(static_cast<double>(-(i * i)) / ((s * 2.0) * s));
    taps.unscaledTaps[j] = static_cast<float>(std::exp(static_cast<double>(t)));
    taps.scaledTaps[j] = static_cast<float>(scale * static_cast<double>(taps.unscaledTaps[j]));
    scaledSum += taps.scaledTaps[j];
    unscaledSum += taps.unscaledTaps[j];
  }
  // The factor 1 / (2 pi sigma^2) cancels in the normalisation, but in single precision it does not
  // always survive until then: below sigma of about 2e-20 the centre tap overflows to infinity, and
  // for a huge or infinite sigma every tap underflows to 0. Either way the quotients below would be
  // not-a-number. The scaled table then takes the values of the unscaled one, whose centre tap is
  // always exp(0) = 1.
  if (!(scaledSum > 0.0f && std::isfinite(scaledSum))) {
    taps.scaledTaps = taps.unscaledTaps;
    scaledSum = unscaledSum;
  }
  for (float& tap : taps.scaledTaps) tap /= scaledSum;
  for (float& tap : taps.unscaledTaps) tap /= unscaledSum;
  return taps;
}

void generateGaussianTaps(Call& call, DeviceWorkspace& workspace, float sigma) {
  const GaussianTaps taps = computeGaussianTaps(sigma);
  call.host.print("\n");
  uploadOrThrow(call.runtime, workspace.gaussTapsX.address(), taps.scaledTaps.data(), GAUSS_TAP_BYTES, "gaussTapsX");
  uploadOrThrow(call.runtime, workspace.gaussTapsY.address(), taps.unscaledTaps.data(), GAUSS_TAP_BYTES, "gaussTapsY");
}

}  // namespace quarlen
