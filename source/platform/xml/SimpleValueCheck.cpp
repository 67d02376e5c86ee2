#include "platform/xml/SimpleValueCheck.h"

#include <cstdint>

#include <libxml/schemasInternals.h>

namespace platform::xml {

namespace {

constexpr int maxDigits = 18; // below 10^18: within std::uint64_t and xs:long

// The largest value of each type that the check accepts; 0 for a type it
// leaves alone. Types whose values are all negative or zero are left alone.
std::uint64_t largest(int builtInType) {
  switch (builtInType) {
  case XML_SCHEMAS_INTEGER:
  case XML_SCHEMAS_NNINTEGER:
  case XML_SCHEMAS_PINTEGER:
  case XML_SCHEMAS_LONG:
  case XML_SCHEMAS_ULONG: return UINT64_MAX;
  case XML_SCHEMAS_INT: return INT32_MAX;
  case XML_SCHEMAS_UINT: return UINT32_MAX;
  case XML_SCHEMAS_SHORT: return INT16_MAX;
  case XML_SCHEMAS_USHORT: return UINT16_MAX;
  case XML_SCHEMAS_BYTE: return INT8_MAX;
  case XML_SCHEMAS_UBYTE: return UINT8_MAX;
  default: return 0;
  }
}

// Base64 text by byte: its alphabet, its blanks, anything else (the end of
// the text and '=' among them).
enum : unsigned char { other = 0, digit = 1, blank = 2 };
struct Base64Classes {
  unsigned char of[256];
  constexpr Base64Classes() : of() {
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) {
      of[static_cast<unsigned char>(alphabet[i])] = digit;
    }
    of[' '] = of['\t'] = of['\n'] = of['\r'] = blank;
  }
};
constexpr Base64Classes base64;

int base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') {
    return c - 'A';
  }
  if (c >= 'a' && c <= 'z') {
    return c - 'a' + 26;
  }
  return c >= '0' && c <= '9' ? c - '0' + 52 : (c == '+' ? 62 : 63);
}

// xs:base64Binary collapses white space, and its grammar admits a space
// after any character: so its blanks are anywhere, and the rest is quanta
// of 4 characters, the last perhaps "xx==" or "xxx=" whose last character
// carries no bits beyond the data (4 and 2 zero bits).
bool isBase64(const unsigned char* value) {
  std::uint64_t characters = 0;
  const unsigned char* at = value;
  for (unsigned char kind; (kind = base64.of[*at]) != other; ++at) {
    characters += kind & digit;
  }
  const unsigned char* last = at;
  while (last != value && base64.of[last[-1]] != digit) {
    --last;
  }
  int padding = 0;
  for (; *at != 0; ++at) {
    if (*at == '=') {
      ++padding;
    } else if (base64.of[*at] != blank) {
      return false;
    }
  }
  const int bits = last != value ? base64Value(last[-1]) : 0;
  switch (padding) {
  case 0: return characters % 4 == 0;
  case 1: return characters % 4 == 3 && (bits & 0x03) == 0;
  case 2: return characters % 4 == 2 && (bits & 0x0f) == 0;
  default: return false;
  }
}

} // namespace

bool surelyValid(int builtInType, const unsigned char* value) {
  if (builtInType == XML_SCHEMAS_STRING) {
    return value != nullptr;
  }
  if (builtInType == XML_SCHEMAS_BASE64BINARY) {
    return value != nullptr && isBase64(value);
  }
  const std::uint64_t most = largest(builtInType);
  if (most == 0 || value == nullptr) {
    return false;
  }
  std::uint64_t number = 0;
  int digits = 0;
  for (; value[digits] >= '0' && value[digits] <= '9'; ++digits) {
    if (digits == maxDigits) {
      return false;
    }
    number = number * 10 + static_cast<unsigned>(value[digits] - '0');
  }
  if (digits == 0 || value[digits] != 0 || number > most) {
    return false;
  }
  return number > 0 || builtInType != XML_SCHEMAS_PINTEGER;
}

} // namespace platform::xml
