// Conversions between wide and narrow text, and narrow text utilities.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

  /// A lower-cased copy under the current LC_CTYPE (in the default "C"
  /// locale only 'A'-'Z' change). The copy ends at the text's first NUL.
  static std::string toLower(const std::string& text);

  /// An upper-cased copy under the current LC_CTYPE (in the default "C"
  /// locale only 'a'-'z' change). The copy ends at the text's first NUL.
  static std::string toUpper(const std::string& text);

  /// Replaces every occurrence of searchFor in replaceIn, left to right,
  /// never searching inside an inserted replacement; returns the count. An
  /// empty searchFor replaces nothing and gives 0. replaceIn must hold no
  /// NUL byte (a failed check otherwise; the replacements are made anyway).
  static int replaceAll(std::string& replaceIn, const std::string& searchFor,
                        const std::string& replaceWith);

  /// The number of non-overlapping occurrences of pattern, found left to
  /// right; 0 for an empty pattern.
  static int countOccurrences(const std::string& text, const std::string& pattern);

  /// The position of the first occurrence of pattern in text, both compared
  /// as toLower gives them, or std::string::npos.
  static std::string::size_type findIgnoreCase(const std::string& text,
                                               const std::string& pattern);

  /// Whether text ends with suffix, byte for byte; true for an empty suffix.
  static bool endsWith(const std::string& text, const std::string& suffix);

  /// Removes the leading characters of text that occur in characters; a text
  /// made only of such characters becomes empty.
  static void trimLeft(std::string& text, const std::string& characters);

  /// The 1-based line of position, an iterator into text: one more than the
  /// line feeds before it. Carriage returns do not count.
  static int lineNumberAt(const std::string& text, std::string::const_iterator position);

  /// length characters from std::rand() (never seeded here), codes 0 to 126
  /// with allowNul, 1 to 126 without.
  static std::string randomString(std::size_t length, bool allowNul);

  /// The pieces of text between occurrences of delimiter, in order, empty
  /// pieces kept: n occurrences give n + 1 pieces. An empty delimiter gives
  /// an empty list.
  static std::vector<std::string> split(const std::string& text, const std::string& delimiter);

protected:
  /// The core of toLower (mode 0) and toUpper (mode 1). Any other mode is a
  /// failed check and returns the copy unchanged.
  static std::string changeCase(const std::string& src, int mode);
};

} // namespace util
