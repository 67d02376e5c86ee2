// Conversions between wide and narrow text, and narrow text utilities.
#pragma once

#include <string>

#include "util/StringHelperException.h"

namespace util {

/// Stateless text operations. Wide text holds UTF-16 code unit values.
class StringHelper {
public:
  StringHelper() = delete;

  /// Wide to narrow under the current LC_CTYPE. In the C/POSIX locale each
  /// unit up to 255 becomes the byte of the same value (ISO 8859-1 identity).
  /// The text ends at its first NUL unit. Throws StringHelperException when a
  /// unit has no narrow form.
  static std::string toNarrow(const std::wstring& text);

  /// Narrow to wide under the current LC_CTYPE; in the C/POSIX locale every
  /// byte becomes the unit of the same value. The text ends at its first NUL
  /// byte. Throws StringHelperException when the bytes are invalid there.
  static std::wstring toWide(const std::string& text);
};

} // namespace util
