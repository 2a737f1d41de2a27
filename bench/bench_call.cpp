// Times whole calls of the module through the in-memory host, and OpenCV's Gaussian blur + Canny on
// the same image when OpenCV is available. Prints one parsable line per measurement.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/gateway.h"
#include "inmemory/in_memory_host.h"
#include "kernels/geometry.h"
#include "runtime/backend.h"
#include "runtime/cpu/executor.h"

#if defined(QUARLEN_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct Settings {
  int width = 1920;
  int height = 1080;
  int runs = 15;
  double thresholdLow = 40;
  double thresholdHigh = 100;
  int passes = 10;
  double sigma = 1.4;
};

void printHelp() {
  std::puts(
      "usage: quarlen_bench [--size WIDTHxHEIGHT] [--runs N] [--passes N] [--sigma S]\n"
      "\n"
      "Times whole calls of quarlen on a synthetic colour image (default 1920x1080, thresholds 40 and 100,\n"
      "10 hysteresis passes, sigma 1.4) after one warm-up call, and prints one line:\n"
      "  quarlen size=WxHx3 backend=NAME workers=N ms_per_call=MEDIAN mpixels_per_s=RATE\n"
      "When built with OpenCV it also times GaussianBlur (15x15, same sigma) + Canny on the grey image:\n"
      "  opencv size=WxH threads=N ms_per_call=MEDIAN mpixels_per_s=RATE");
}

bool parse(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      printHelp();
      std::exit(0);
    } else if (arg == "--size" && hasValue && std::sscanf(argv[i + 1], "%dx%d", &s.width, &s.height) == 2) {
      ++i;
    } else if (arg == "--runs" && hasValue) {
      s.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--passes" && hasValue) {
      s.passes = std::atoi(argv[++i]);
    } else if (arg == "--sigma" && hasValue) {
      s.sigma = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "quarlen_bench: unknown or incomplete argument '%s' (see --help)\n", arg.c_str());
      return false;
    }
  }
  if (s.width < 1 || s.height < 1 || s.width > 65535 || s.height > 65535 ||
      std::size_t{4} * static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height) > 0x7FFFFFFFu) {
    std::fprintf(stderr, "quarlen_bench: sizes must lie between 1 and 65535, with width * height * 4 below 2^31\n");
    return false;
  }
  return true;
}

// Shapes of several brightnesses over a smooth background, with some noise: edges of every
// direction, as a photograph has them.
std::vector<std::uint8_t> syntheticImage(int width, int height) {
  std::mt19937 random(2026);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  struct Disc {
    double x, y, r, colour[3];
  };
  std::vector<Disc> discs(60);
  for (Disc& d : discs)
    d = {unit(random) * width,
         unit(random) * height,
         10 + unit(random) * height / 6,
         {unit(random) * 255, unit(random) * 255, unit(random) * 255}};
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * 3);
  std::normal_distribution<double> noise(0.0, 4.0);
  for (int p = 0; p < 3; ++p)
    for (int x = 0; x < width; ++x)
      for (int y = 0; y < height; ++y) {
        double v = 60 + 80.0 * x / width + 40.0 * y / height + 20 * p;
        for (const Disc& d : discs)
          if ((x - d.x) * (x - d.x) + (y - d.y) * (y - d.y) < d.r * d.r) v = d.colour[p];
        v += noise(random);
        image[quarlen::byteOffset(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                  static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height))] =
            static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
      }
  return image;
}

template <class Work>
double medianMilliseconds(int runs, Work&& work) {
  work();  // warm-up
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[static_cast<std::size_t>(runs / 2)];
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!parse(argc, argv, s)) return 2;
  const std::vector<std::uint8_t> image = syntheticImage(s.width, s.height);
  const double megapixels = s.width * static_cast<double>(s.height) / 1e6;

  quarlen::GpuRuntime& runtime = quarlen::moduleRuntime();
  auto* executor = dynamic_cast<quarlen::cpu::CpuExecutor*>(&runtime);
  const unsigned workers = executor != nullptr ? executor->workerCount() : 0;
  quarlen::InMemoryHost host =
      quarlen::InMemoryHost::call(image, static_cast<std::size_t>(s.height), static_cast<std::size_t>(s.width), 3, 3,
                                  s.thresholdLow, s.thresholdHigh, s.passes, s.sigma);
  const double ms = medianMilliseconds(s.runs, [&] {
    host.console.clear();
    quarlen::runGateway(host, runtime);
  });
  std::printf("quarlen size=%dx%dx3 backend=%s workers=%u ms_per_call=%.2f mpixels_per_s=%.1f\n", s.width, s.height,
              runtime.name(), workers, ms, megapixels / (ms / 1000.0));

#if defined(QUARLEN_BENCH_OPENCV)
  // OpenCV wants interleaved rows; convert outside the timer, as a caller holding such an image would.
  cv::Mat colour(s.height, s.width, CV_8UC3);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      for (int p = 0; p < 3; ++p)
        colour.at<cv::Vec3b>(y, x)[2 - p] = image[quarlen::byteOffset(
            static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(p),
            static_cast<std::uint32_t>(s.width), static_cast<std::uint32_t>(s.height))];
  cv::Mat grey, blurred, edges;
  const double cvMs = medianMilliseconds(s.runs, [&] {
    cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
    if (s.sigma > 0)
      cv::GaussianBlur(grey, blurred, cv::Size(15, 15), s.sigma);
    else
      blurred = grey;
    cv::Canny(blurred, edges, s.thresholdLow, s.thresholdHigh);
  });
  std::printf("opencv size=%dx%d threads=%d ms_per_call=%.2f mpixels_per_s=%.1f\n", s.width, s.height,
              cv::getNumThreads(), cvMs, megapixels / (cvMs / 1000.0));
#endif
  return 0;
}
