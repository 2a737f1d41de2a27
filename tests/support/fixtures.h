// Shared helpers of the tests: images in the caller's layout, and calls through the in-memory host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/gateway.h"
#include "inmemory/in_memory_host.h"
#include "kernels/geometry.h"
#include "runtime/backend.h"
#include "runtime/cpu/executor.h"

namespace quarlen::testing {

// A rows x columns x planes byte image, column-major plane by plane, of seeded random bytes.
inline std::vector<std::uint8_t> randomImage(std::size_t rows, std::size_t columns, std::size_t planes,
                                             std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(rows * columns * planes);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random() & 0xFF);
  return image;
}

// An executor with the module registered on it, as the library's own runtime has.
struct RegisteredExecutor {
  explicit RegisteredExecutor(cpu::CpuExecutorOptions options = {}) : executor(options) {
    registerCannyModule(executor);
  }
  cpu::CpuExecutor executor;
};

// A float image row by row, as the device holds it.
struct Image {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<float> pixels;

  Image(unsigned w, unsigned h, float fill = 0.0f) : width(w), height(h), pixels(std::size_t{w} * h, fill) {}
  float& at(unsigned x, unsigned y) { return pixels[std::size_t{y} * width + x]; }
  float at(unsigned x, unsigned y) const { return pixels[std::size_t{y} * width + x]; }
  // 0 outside the image.
  float orZero(long x, long y) const {
    if (x < 0 || y < 0 || x >= long{width} || y >= long{height}) return 0.0f;
    return at(static_cast<unsigned>(x), static_cast<unsigned>(y));
  }
  bool inWholeTile(int x, int y) const {
    return x >= 0 && y >= 0 && static_cast<unsigned>(x) < wholeTileExtent(width) &&
           static_cast<unsigned>(y) < wholeTileExtent(height);
  }
};

inline std::vector<std::string> linesStartingWith(const std::vector<std::string>& log,
                                                  std::initializer_list<const char*> prefixes) {
  std::vector<std::string> lines;
  for (const std::string& line : log)
    for (const char* prefix : prefixes)
      if (line.rfind(prefix, 0) == 0) {
        lines.push_back(line);
        break;
      }
  return lines;
}

}  // namespace quarlen::testing
