// Failures of reading or changing the current directory.
#pragma once

#include <string>

#include "exceptions/Exception.h"

namespace windows::file {

/// A failure of the current-directory helper. Concrete, but only its two
/// subclasses are ever thrown; catch this class to catch both.
class CurrentDirectoryException : public exceptions::Exception {
public:
  explicit CurrentDirectoryException(const std::string& text);
  CurrentDirectoryException(const CurrentDirectoryException&) = default;
  ~CurrentDirectoryException() override;

  const std::string& message() const override;

private:
  std::string text;
};

/// The current directory could not be read.
class GetCurrentDirectoryException : public CurrentDirectoryException {
public:
  explicit GetCurrentDirectoryException(const std::string& text);
  GetCurrentDirectoryException(const GetCurrentDirectoryException&) = default;
};

/// The current directory could not be changed.
class SetCurrentDirectoryException : public CurrentDirectoryException {
public:
  explicit SetCurrentDirectoryException(const std::string& text);
  SetCurrentDirectoryException(const SetCurrentDirectoryException&) = default;
};

} // namespace windows::file
