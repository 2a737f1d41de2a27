#include "inmemory/in_memory_host.h"

#include <utility>

namespace quarlen {

InMemoryHost InMemoryHost::call(std::vector<std::uint8_t> image, std::size_t rows, std::size_t columns,
                                std::size_t planes, double channels, double thresholdLow, double thresholdHigh,
                                double hysteresisIts, double sigma) {
  InMemoryHost host;
  host.image = std::move(image);
  host.rows = rows;
  host.columnsTimesPlanes = columns * planes;
  host.scalars = {channels, thresholdLow, thresholdHigh, hysteresisIts, sigma};
  return host;
}

std::optional<double> InMemoryHost::scalarInput(int k) const {
  if (k < 2 || k > 6) return std::nullopt;
  return scalars[static_cast<std::size_t>(k - 2)];
}

ImageInput InMemoryHost::imageInput() const { return {image.data(), rows, columnsTimesPlanes, imageClass}; }

std::uint8_t* InMemoryHost::createResult(std::size_t resultRowCount, std::size_t columns) {
  resultRows = resultRowCount;
  resultColumns = columns;
  result.assign(resultRowCount * columns * 3, 0);
  return result.data();
}

}  // namespace quarlen
