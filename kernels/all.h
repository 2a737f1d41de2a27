// Every kernel of the module, in registration order, for the backends that build a table of them.
#pragma once

#include "kernels/gaussian.h"
#include "kernels/gradient.h"
#include "kernels/hysteresis.h"
#include "kernels/module.h"
#include "kernels/sobel.h"
#include "kernels/transfer.h"

namespace quarlen {

template <class... Kernels>
struct KernelList {};

using CannyKernels =
    KernelList<CannyBlockConverter8, CannyBlockConverter, CannyHysteresisBlockShared, CannyHysteresisBlock,
               CannyNonmaxSupression, CannyGradientStrengthDirection, SobelSeparablePassY, SobelSeparablePassX,
               GaussianSeparablePassY, GaussianSeparablePassX, LoadConvertData8, LoadConvertData, MatlabGrayScaleTest>;

template <class... Kernels>
constexpr bool inRegistrationOrder(KernelList<Kernels...>) {
  std::size_t i = 0;
  return ((static_cast<std::size_t>(Kernels::id) == i++) && ...) && sizeof...(Kernels) == KERNEL_COUNT;
}
static_assert(inRegistrationOrder(CannyKernels{}), "CannyKernels must list every kernel in KernelId order");

}  // namespace quarlen
