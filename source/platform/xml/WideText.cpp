#include "platform/xml/WideText.h"

#include "platform/com/Bstr.h"

namespace platform::xml {

std::wstring widen(const std::string& bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (const char byte : bytes) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
  }
  return wide;
}

namespace {

void appendUtf8(std::string& out, unsigned long codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

} // namespace

std::string narrow(const com::OLECHAR* text, std::size_t length) {
  bool identity = true;
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned long>(text[i]) > 0xFF) {
      identity = false;
      break;
    }
  }
  std::string bytes;
  bytes.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    unsigned long unit = static_cast<unsigned long>(text[i]) & 0xFFFF;
    if (identity) {
      bytes.push_back(static_cast<char>(unit));
      continue;
    }
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length) {
      const unsigned long low = static_cast<unsigned long>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    appendUtf8(bytes, unit);
  }
  return bytes;
}

com::BSTR allocateBstr(const std::string& bytes) {
  const std::wstring wide = widen(bytes);
  return com::SysAllocStringLen(wide.data(), static_cast<unsigned>(wide.size()));
}

} // namespace platform::xml
