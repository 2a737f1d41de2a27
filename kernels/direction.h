// Direction codes: the gradient angle quantised to one of the four lines through a pixel.
//
// The angle a = atan2(gy, gx) is measured from increasing x toward decreasing y (gy grows toward
// the first row). It is compared, in single precision, with the float thresholds T1, T3, T5 and T7
// nearest to pi/8, 3pi/8, 5pi/8 and 7pi/8:
//
//   code 45:  T1 < a <= T3   or  -T7 <= a < -T5
//   code 90:  T3 < a <= T5   or  -T5 <= a < -T3
//   code 135: T5 < a <= T7   or  -T3 <= a < -T1
//   code 0:   everything else: |a| <= T1, |a| > T7, and a NaN angle
//
// directionCode() is that rule over the arc tangent. On the CPU the arc tangent dominates the cost
// of the gradient kernel, so wholeGradientCode() decides the same codes without it for the inputs
// that the Sobel passes produce: whole numbers from -1020 to 1020. For those, the exact angle of
// every pair lies at least 1.6 units in the last place away from every threshold, so an arc tangent
// that is off by less than one unit lands on the same side of each threshold as the exact angle,
// and the side can be found by comparing |gy| with |gx| * tan(threshold) in double precision: for
// every pair the two lie at least 3.7e-4 apart, far beyond the rounding of the product. The tests
// check it against atan2f on every pair.
#pragma once

#include <cmath>
#include <cstdint>

#include "kernels/block.h"

namespace quarlen {

inline constexpr float DIRECTION_T1 = 0.392699093f;  // pi/8, slightly above
inline constexpr float DIRECTION_T3 = 1.17809725f;   // 3pi/8, slightly above
inline constexpr float DIRECTION_T5 = 1.96349537f;   // 5pi/8, slightly below
inline constexpr float DIRECTION_T7 = 2.74889350f;   // 7pi/8, slightly below

inline constexpr std::uint32_t DIRECTION_HORIZONTAL = 0;  // neighbours (x + 1, y), (x - 1, y)
inline constexpr std::uint32_t DIRECTION_RISING = 45;     // neighbours (x + 1, y - 1), (x - 1, y + 1)
inline constexpr std::uint32_t DIRECTION_VERTICAL = 90;   // neighbours (x, y + 1), (x, y - 1)
inline constexpr std::uint32_t DIRECTION_FALLING = 135;   // neighbours (x - 1, y - 1), (x + 1, y + 1)

// The code of angle a (radians), by the single-precision comparisons above, in their order.
QUARLEN_HD QUARLEN_INLINE std::uint32_t quantiseAngle(float a) {
  const bool rising = (DIRECTION_T1 < a && a <= DIRECTION_T3) || (-DIRECTION_T7 <= a && a < -DIRECTION_T5);
  const bool vertical = (DIRECTION_T3 < a && a <= DIRECTION_T5) || (-DIRECTION_T5 <= a && a < -DIRECTION_T3);
  const bool falling = (DIRECTION_T5 < a && a <= DIRECTION_T7) || (-DIRECTION_T3 <= a && a < -DIRECTION_T1);
  return rising ? DIRECTION_RISING : vertical ? DIRECTION_VERTICAL : falling ? DIRECTION_FALLING : DIRECTION_HORIZONTAL;
}

// atan2(gy, gx) in single precision; 0 for the zero vector, whatever the signs of its zeros.
QUARLEN_HD QUARLEN_INLINE float gradientAngle(float gx, float gy) {
  return (gx == 0.0f && gy == 0.0f) ? 0.0f : atan2f(gy, gx);
}

// The direction code of any gradient, NaN and infinities included.
QUARLEN_HD QUARLEN_INLINE std::uint32_t directionCode(float gx, float gy) {
  return quantiseAngle(gradientAngle(gx, gy));
}

#if !defined(__CUDA_ARCH__)

inline constexpr float WHOLE_GRADIENT_LIMIT = 1020.0f;

// tan(T) of each threshold as a real number, for angles folded into 0 <= phi <= pi/2 about the
// x axis: phi = |a| when gx >= 0, phi = pi - |a| when gx < 0.
inline constexpr double TAN_T1 = 0.41421357517586482;           // right half: |a| <= T1 is code 0
inline constexpr double TAN_T3 = 2.4142135827301394;            // right half: |a| > T3 is code 90
inline constexpr double TAN_PI_MINUS_T5 = 2.4142137997820234;   // left half: |a| <= T5 is code 90
inline constexpr double TAN_PI_MINUS_T7 = 0.41421364733167221;  // left half: |a| > T7 is code 0

// How far g lies from the whole number nearest to it clamped into [-1020, 1020]: 0 exactly when g
// is a whole number in that range (either zero), positive otherwise, NaN for NaN. Adding and
// subtracting 1.5 * 2^23 rounds a float of magnitude up to 2^22 to a whole number, exactly for whole
// ones, in every rounding mode. Plain float arithmetic and selects: a conversion to int here would
// be moved into a branch by the compiler and keep the loop from being vectorised.
QUARLEN_INLINE float wholeGradientOffset(float g) {
  constexpr float roundingShift = 12582912.0f;                                  // 1.5 * 2^23
  const float low = !(g >= -WHOLE_GRADIENT_LIMIT) ? -WHOLE_GRADIENT_LIMIT : g;  // NaN becomes the bound
  const float clamped = low > WHOLE_GRADIENT_LIMIT ? WHOLE_GRADIENT_LIMIT : low;
  const float whole = (clamped + roundingShift) - roundingShift;
  return std::fabs(whole - g);
}

// Whether both components are whole numbers from -1020 to 1020. One comparison for the pair: with
// two, the compiler branches between them, and a loop over it is no longer vectorised.
QUARLEN_INLINE bool areWholeGradients(float gx, float gy) {
  return wholeGradientOffset(gx) + wholeGradientOffset(gy) == 0.0f;
}

// The code of a gradient whose components are whole numbers from -1020 to 1020, without an arc
// tangent; equal to directionCode() of the same pair. Branch-free.
QUARLEN_INLINE std::uint32_t wholeGradientCode(float gx, float gy) {
  const double ax = std::fabs(static_cast<double>(gx));
  const double ay = std::fabs(static_cast<double>(gy));
  const bool left = gx < 0.0f;
  const double tanLow = left ? TAN_PI_MINUS_T7 : TAN_T1;
  const double tanHigh = left ? TAN_PI_MINUS_T5 : TAN_T3;
  const bool horizontal = !(ay > ax * tanLow);  // also the zero vector
  const bool vertical = ay > ax * tanHigh;
  const std::uint32_t diagonal = (gx > 0.0f) == (gy > 0.0f) ? DIRECTION_RISING : DIRECTION_FALLING;
  return horizontal ? DIRECTION_HORIZONTAL : vertical ? DIRECTION_VERTICAL : diagonal;
}

#endif

}  // namespace quarlen
