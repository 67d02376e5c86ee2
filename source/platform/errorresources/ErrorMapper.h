// Caller-supplied texts for system error codes.
#pragma once

#include <string>
#include <utility>

namespace platform::errorresources {

/// Supplies texts for error codes that the platform has no text for. The
/// library has no implementation of its own; host programs derive one.
class ErrorMapper {
public:
  virtual ~ErrorMapper() = default;

  /// The text for errorCode; it counts only when the flag is true.
  virtual std::pair<bool, std::string> lookup(int errorCode) const = 0;
};

} // namespace platform::errorresources
