// Readable text for system error codes.
#pragma once

#include <string>

#include "platform/errorresources/ErrorMapper.h"

namespace platform::errorresources {

/// Turns system error codes, as the last-error value gives them, into text
/// for failure messages.
class SystemErrors {
public:
  SystemErrors() = delete;

  /// "System error message: " followed by the platform's text for errorCode
  /// (unchanged, normally ending in "\r\n"); when the platform has none, by
  /// the text of fallbackErrors plus "\r\n" if it finds one; otherwise by a
  /// sentence saying the code (in signed decimal) has no text, plus "\r\n".
  /// Never throws: when anything inside raises (the mapper included), it
  /// reports a failed check and returns a fixed sentence ending in "\n".
  static std::string map(int errorCode, const ErrorMapper* fallbackErrors = nullptr) noexcept;
};

} // namespace platform::errorresources
