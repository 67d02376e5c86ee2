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

} // namespace

bool surelyValid(int builtInType, const unsigned char* value) {
  if (builtInType == XML_SCHEMAS_STRING) {
    return value != nullptr;
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
