// What the module needs of the program that calls it (MATLAB, Octave, a test): the inputs of one
// call, a place for the result, and a console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quarlen {

struct ImageInput {
  const std::uint8_t* bytes = nullptr;  // column-major planes, as the caller stores them
  std::size_t rows = 0;
  std::size_t columnsTimesPlanes = 0;  // the product of all dimensions after the first
  std::string className;               // "uint8", "double", ...
};

class HostInterface {
 public:
  virtual ~HostInterface() = default;

  virtual int inputCount() const = 0;
  virtual int outputsRequested() const = 0;
  // Input k (2 to 6) as a double; nullopt when it is empty or not numeric.
  virtual std::optional<double> scalarInput(int k) const = 0;
  // Input 1.
  virtual ImageInput imageInput() const = 0;
  // Creates the zero-filled rows x columns x 3 byte result as the first output; returns its data,
  // or nullptr when it could not be created.
  virtual std::uint8_t* createResult(std::size_t rows, std::size_t columns) = 0;
  virtual void print(const std::string& text) = 0;
};

}  // namespace quarlen
