// The one error type of the host code: an identifier such as "quarlen:badArgument" and a message
// that names what is wrong. Front ends turn it into their own error report.
#pragma once

#include <stdexcept>
#include <string>

namespace quarlen {

class QuarlenError : public std::runtime_error {
 public:
  QuarlenError(std::string id, const std::string& message) : std::runtime_error(message), id_(std::move(id)) {}
  const std::string& id() const { return id_; }

 private:
  std::string id_;
};

}  // namespace quarlen
