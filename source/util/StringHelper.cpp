#include "util/StringHelper.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "util/Assertion.h"
#include "util/memory/Memory.h"

namespace util {

namespace {

const std::size_t conversionError = static_cast<std::size_t>(-1);

// glibc's "C" locale is 7-bit ASCII, while the library promises the
// ISO 8859-1 identity in the default locale; so that locale is handled here.
bool identityLocale() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

std::size_t narrowLength(const std::wstring& text) {
  if (identityLocale()) {
    return std::wcslen(text.c_str());
  }
  return std::wcstombs(nullptr, text.c_str(), text.size());
}

std::size_t narrowConvert(char* destination, const std::wstring& text, std::size_t count) {
  if (!identityLocale()) {
    return std::wcstombs(destination, text.c_str(), count);
  }
  for (std::size_t i = 0; i < count; ++i) {
    const wchar_t unit = text[i];
    if (unit < 0 || unit > 0xFF) {
      return conversionError;
    }
    destination[i] = static_cast<char>(static_cast<unsigned char>(unit));
  }
  return count;
}

std::size_t wideLength(const std::string& text) {
  if (identityLocale()) {
    return std::strlen(text.c_str());
  }
  return std::mbstowcs(nullptr, text.c_str(), text.size());
}

std::size_t wideConvert(wchar_t* destination, const std::string& text, std::size_t count) {
  if (!identityLocale()) {
    return std::mbstowcs(destination, text.c_str(), count);
  }
  for (std::size_t i = 0; i < count; ++i) {
    destination[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  }
  return count;
}

} // namespace

std::string StringHelper::toNarrow(const std::wstring& text) {
  const std::size_t length = narrowLength(text);
  if (length == conversionError) {
    throw StringHelperException("Could get the length of the wide string ");
  }
  ScopedArray<char> buffer(new char[length]);
  if (narrowConvert(buffer.get(), text, length) == conversionError) {
    throw StringHelperException("Could convert the wide string to a normal string.");
  }
  return std::string(buffer.get(), length);
}

std::wstring StringHelper::toWide(const std::string& text) {
  const std::size_t length = wideLength(text);
  if (length == conversionError) {
    throw StringHelperException("Could get the length of the corresponding wide string for '" + text + "'.");
  }
  ScopedArray<wchar_t> buffer(new wchar_t[length]);
  if (wideConvert(buffer.get(), text, length) == conversionError) {
    throw StringHelperException("Could not convert '" + text + "' to a wide string.");
  }
  return std::wstring(buffer.get(), length);
}

std::string StringHelper::toLower(const std::string& text) { return changeCase(text, 0); }

std::string StringHelper::toUpper(const std::string& text) { return changeCase(text, 1); }

std::string StringHelper::changeCase(const std::string& src, int mode) {
  ASSERTION(src.c_str()[src.size()] == 0);
  ScopedArray<char> copy(duplicate(src.c_str(), src.size() + 1));
  char* const characters = copy.get();
  if (mode == 0) {
    for (char* c = characters; *c != '\0'; ++c) {
      *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }
  } else if (mode == 1) {
    for (char* c = characters; *c != '\0'; ++c) {
      *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    }
  } else {
    ASSERTION(false);
  }
  return std::string(characters);
}

int StringHelper::replaceAll(std::string& replaceIn, const std::string& searchFor,
                             const std::string& replaceWith) {
  using std::find;
  ASSERTION(find(replaceIn.begin(), replaceIn.end(), '\0') == replaceIn.end());
  // An empty search text would match at every position without advancing.
  if (searchFor.empty()) {
    return 0;
  }
  int count = 0;
  std::string::size_type position = 0;
  while ((position = replaceIn.find(searchFor, position)) != std::string::npos) {
    replaceIn.replace(position, searchFor.size(), replaceWith);
    ++count;
    position += replaceWith.size();
  }
  return count;
}

int StringHelper::countOccurrences(const std::string& text, const std::string& pattern) {
  if (pattern.empty()) {
    return 0;
  }
  int count = 0;
  std::string::size_type position = 0;
  while ((position = text.find(pattern, position)) != std::string::npos) {
    ++count;
    position += pattern.size();
  }
  return count;
}

std::string::size_type StringHelper::findIgnoreCase(const std::string& text,
                                                    const std::string& pattern) {
  return toLower(text).find(toLower(pattern));
}

bool StringHelper::endsWith(const std::string& text, const std::string& suffix) {
  if (suffix.empty()) {
    return true;
  }
  if (text.size() < suffix.size()) {
    return false;
  }
  return text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void StringHelper::trimLeft(std::string& text, const std::string& characters) {
  text.erase(0, std::min(text.find_first_not_of(characters), text.size()));
}

int StringHelper::lineNumberAt(const std::string& text, std::string::const_iterator position) {
  return static_cast<int>(std::count(text.begin(), position, '\n')) + 1;
}

std::string StringHelper::randomString(std::size_t length, bool allowNul) {
  std::string result;
  result.reserve(length);
  const unsigned int offset = allowNul ? 0 : 1;
  const unsigned int modulus = 127 - offset;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned int value = static_cast<unsigned int>(std::rand());
    result += static_cast<char>(value % modulus + offset);
  }
  return result;
}

std::vector<std::string> StringHelper::split(const std::string& text,
                                             const std::string& delimiter) {
  std::vector<std::string> pieces;
  if (delimiter.empty()) {
    return pieces;
  }
  std::string::size_type start = 0;
  std::string::size_type position;
  while ((position = text.find(delimiter, start)) != std::string::npos) {
    pieces.push_back(text.substr(start, position - start));
    start = position + delimiter.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

} // namespace util
