#include "platform/com/Bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace platform::com {

namespace {

using Prefix = std::uint32_t;

// The characters start right after the prefix, so they must not need a
// stricter alignment than the prefix gives them.
static_assert(alignof(OLECHAR) <= sizeof(Prefix));

constexpr std::size_t maxLength = std::numeric_limits<Prefix>::max() / sizeof(OLECHAR);

char* blockOf(BSTR string) { return reinterpret_cast<char*>(string) - sizeof(Prefix); }

} // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) {
    return nullptr;
  }
  const std::size_t length = std::wcslen(text);
  if (length > maxLength) {
    return nullptr;
  }
  return SysAllocStringLen(text, static_cast<unsigned>(length));
}

BSTR SysAllocStringLen(const OLECHAR* text, unsigned length) {
  if (length > maxLength) {
    return nullptr;
  }
  char* block = static_cast<char*>(
      std::malloc(sizeof(Prefix) + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
  if (block == nullptr) {
    return nullptr;
  }
  const Prefix byteLength = static_cast<Prefix>(length * sizeof(OLECHAR));
  std::memcpy(block, &byteLength, sizeof(Prefix));
  BSTR string = reinterpret_cast<BSTR>(block + sizeof(Prefix));
  if (text != nullptr) {
    std::wmemcpy(string, text, length);
  } else {
    std::wmemset(string, L'\0', length);
  }
  string[length] = L'\0';
  return string;
}

void SysFreeString(BSTR string) {
  if (string != nullptr) {
    std::free(blockOf(string));
  }
}

unsigned SysStringLen(BSTR string) {
  if (string == nullptr) {
    return 0;
  }
  Prefix byteLength;
  std::memcpy(&byteLength, blockOf(string), sizeof(Prefix));
  return static_cast<unsigned>(byteLength / sizeof(OLECHAR));
}

} // namespace platform::com
