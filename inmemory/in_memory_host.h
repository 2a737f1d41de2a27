// A host that lives in memory: the front end of the tests and the benchmark. It holds the six inputs
// of one call and collects the result and the console text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace quarlen {

class InMemoryHost final : public HostInterface {
 public:
  // A well-formed call on a rows x columns x planes uint8 image stored column-major plane by plane.
  static InMemoryHost call(std::vector<std::uint8_t> image, std::size_t rows, std::size_t columns, std::size_t planes,
                           double channels, double thresholdLow, double thresholdHigh, double hysteresisIts,
                           double sigma);

  int inputCount() const override { return inputs; }
  int outputsRequested() const override { return outputs; }
  std::optional<double> scalarInput(int k) const override;
  ImageInput imageInput() const override;
  std::uint8_t* createResult(std::size_t rows, std::size_t columns) override;
  void print(const std::string& text) override { console += text; }

  // Inputs.
  int inputs = 6;
  int outputs = 1;
  std::vector<std::uint8_t> image;
  std::size_t rows = 0;
  std::size_t columnsTimesPlanes = 0;
  std::string imageClass = "uint8";
  std::array<std::optional<double>, 5> scalars{};  // inputs 2..6; nullopt: empty or not numeric

  // Outputs.
  std::vector<std::uint8_t> result;
  std::size_t resultRows = 0;
  std::size_t resultColumns = 0;
  std::string console;
};

}  // namespace quarlen
