#include "util/StringHelper.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>

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

} // namespace util
