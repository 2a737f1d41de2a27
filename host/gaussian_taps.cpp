#include "host/gaussian_taps.h"

#include <cmath>

#include "host/workspace.h"

namespace quarlen {

GaussianTaps computeGaussianTaps(float sigma) {
  const double s = sigma;
  // For a tiny sigma (below about 2e-20) this factor overflows to infinity, and infinity times the
  // taps that underflowed to 0 would make the table not-a-number. The factor cancels in the
  // normalisation, so the table is then the unscaled one.
  const double scale = 1.0 / ((s * 6.283185307179586) * s);
  const bool scaleFinite = std::isfinite(scale);

  GaussianTaps taps{};
  float scaledSum = 0.0f;
  float unscaledSum = 0.0f;
  for (int i = -static_cast<int>(GAUSS_HALO); i <= static_cast<int>(GAUSS_HALO); ++i) {
    const auto j = static_cast<std::size_t>(i + static_cast<int>(GAUSS_HALO));
    const auto t = static_cast<float>(static_cast<double>(-(i * i)) / ((s * 2.0) * s));
    taps.unscaledTaps[j] = static_cast<float>(std::exp(static_cast<double>(t)));
    taps.scaledTaps[j] =
        scaleFinite ? static_cast<float>(scale * static_cast<double>(taps.unscaledTaps[j])) : taps.unscaledTaps[j];
    scaledSum += taps.scaledTaps[j];
    unscaledSum += taps.unscaledTaps[j];
  }
  for (float& tap : taps.scaledTaps) tap /= scaledSum;
  for (float& tap : taps.unscaledTaps) tap /= unscaledSum;
  return taps;
}

void generateGaussianTaps(Call& call, DeviceWorkspace& workspace, float sigma) {
  const GaussianTaps taps = computeGaussianTaps(sigma);
  call.host.print("\n");
  uploadOrThrow(call.runtime, workspace.gaussTapsX.address(), taps.scaledTaps.data(), GAUSS_TAP_BYTES, "gaussTapsX");
  uploadOrThrow(call.runtime, workspace.gaussTapsY.address(), taps.unscaledTaps.data(), GAUSS_TAP_BYTES,
                "gaussTapsY");
}

}  // namespace quarlen
