// The failure of a text conversion.
#pragma once

#include <string>

#include "exceptions/Exception.h"

namespace util {

/// A conversion between wide and narrow text failed; the text says which.
class StringHelperException : public exceptions::Exception {
public:
  explicit StringHelperException(const std::string& text);
  StringHelperException(const StringHelperException&) = default;
  ~StringHelperException() override;

  const std::string& message() const override;

private:
  std::string text;
};

} // namespace util
