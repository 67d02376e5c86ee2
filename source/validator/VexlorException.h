// The failure of a validation run.
#pragma once

#include <string>

#include "exceptions/Exception.h"

/// A step of the validation run failed; the text is the whole report for the
/// user, stored unchanged.
class VexlorException : public exceptions::Exception {
public:
  explicit VexlorException(const std::string& text);
  VexlorException(const VexlorException&) = default;
  ~VexlorException() override;

  const std::string& message() const override;

private:
  std::string text;
};
