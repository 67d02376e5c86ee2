// The failure of a file input stream.
#pragma once

#include <string>

#include "io/IOException.h"

namespace io::file {

/// A file stream failure; the text is the complete report its thrower made.
class IStreamException : public io::IOException {
public:
  explicit IStreamException(const std::string& text);
  IStreamException(const IStreamException&) = default;
  ~IStreamException() override;

  const std::string& message() const override;

private:
  std::string text;
};

} // namespace io::file
