#include "platform/xml/SimpleValueCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <libxml/schemasInternals.h>

namespace platform::xml {

namespace {

constexpr std::size_t maxDigits = 18; // below 10^18: within std::uint64_t and xs:long

unsigned char byte(char c) { return static_cast<unsigned char>(c); }

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
bool isBase64(std::string_view value) {
  std::uint64_t characters = 0;
  std::size_t at = 0;
  for (unsigned char kind = other;; ++at) {
    // Runs of digits four at a time: certificates are kilobytes each.
    while (at + 4 <= value.size() && (base64.of[byte(value[at])] & base64.of[byte(value[at + 1])] &
                                      base64.of[byte(value[at + 2])] & base64.of[byte(value[at + 3])]) == digit) {
      characters += 4;
      at += 4;
    }
    if (at == value.size() || (kind = base64.of[byte(value[at])]) == other) {
      break;
    }
    characters += kind & digit;
  }
  std::size_t last = at;
  while (last != 0 && base64.of[byte(value[last - 1])] != digit) {
    --last;
  }
  int padding = 0;
  for (; at < value.size(); ++at) {
    if (value[at] == '=') {
      ++padding;
    } else if (base64.of[byte(value[at])] != blank) {
      return false;
    }
  }
  const int bits = last != 0 ? base64Value(byte(value[last - 1])) : 0;
  switch (padding) {
  case 0: return characters % 4 == 0;
  case 1: return characters % 4 == 3 && (bits & 0x03) == 0;
  case 2: return characters % 4 == 2 && (bits & 0x0f) == 0;
  default: return false;
  }
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An NCName of ASCII letters, digits and "._-", not starting with a digit,
// '.' or '-'; libxml2 takes each of those the same way in every series.
bool isAsciiNcName(std::string_view value) {
  if (value.empty() || !(isAsciiLetter(value.front()) || value.front() == '_')) {
    return false;
  }
  for (const char c : value) {
    if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '_' && c != '.' && c != '-') {
      return false;
    }
  }
  return true;
}

// The bytes of an anyURI that the check takes as they stand: RFC 3986's
// unreserved characters and sub-delimiters (but "'", which libxml2
// rewrites), which a host takes, and ':' and '@', which a path takes too.
enum : unsigned char { hostByte = 1, pathByte = 2 };
struct UriClasses {
  unsigned char of[256];
  constexpr UriClasses() : of() {
    const char* host = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~!$&()*+,;=";
    for (const char* c = host; *c != 0; ++c) {
      of[static_cast<unsigned char>(*c)] = hostByte | pathByte;
    }
    of[':'] = of['@'] = pathByte;
  }
};
constexpr UriClasses uri;

// An absolute URI in the form every series of libxml2 parses alike
// (xmlParseURI, after its rewriting of spaces and the like): a scheme of
// two characters at least (on Windows libxml2 takes "c:" for a drive), an
// optional "//" and host that starts with a letter (on a digit libxml2
// tries an IPv4 address first) and a port of at most 5 digits (2.14 and
// later refuse one past INT_MAX), then a path, query and fragment of
// those bytes, '/', '?', escapes "%XX" and one '#'. Empty is an anyURI
// too.
bool isPlainAnyUri(std::string_view value) {
  if (value.empty()) {
    return true;
  }
  std::size_t at = 0;
  while (at < value.size() && (isAsciiLetter(value[at]) || (at > 0 && (isAsciiDigit(value[at]) ||
                                                                       value[at] == '+' || value[at] == '-' ||
                                                                       value[at] == '.')))) {
    ++at;
  }
  if (at < 2 || at == value.size() || value[at] != ':') {
    return false;
  }
  ++at;
  if (value.substr(at, 2) == "//") {
    at += 2;
    if (at == value.size() || !isAsciiLetter(value[at])) {
      return false;
    }
    while (at < value.size() && (uri.of[byte(value[at])] & hostByte) != 0) {
      ++at;
    }
    if (at < value.size() && value[at] == ':') {
      const std::size_t port = ++at;
      while (at < value.size() && isAsciiDigit(value[at])) {
        ++at;
      }
      if (at == port || at - port > 5) {
        return false;
      }
    }
    if (at < value.size() && value[at] != '/' && value[at] != '?' && value[at] != '#') {
      return false;
    }
  }
  bool fragment = false;
  for (; at < value.size(); ++at) {
    const char c = value[at];
    if (c == '%') {
      if (at + 2 >= value.size() || !isHexDigit(value[at + 1]) || !isHexDigit(value[at + 2])) {
        return false;
      }
      at += 2;
    } else if (c == '#') {
      if (fragment) {
        return false;
      }
      fragment = true;
    } else if ((uri.of[byte(c)] & pathByte) == 0 && c != '/' && c != '?') {
      return false;
    }
  }
  return true;
}

// The number that 1 to 18 ASCII digits, nothing around them, write.
bool plainNumber(std::string_view digits, std::uint64_t& number) {
  if (digits.empty() || digits.size() > maxDigits) {
    return false;
  }
  number = 0;
  for (const char c : digits) {
    if (!isAsciiDigit(c)) {
      return false;
    }
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

bool isDigits(std::string_view value, std::uint64_t most, bool positive) {
  std::uint64_t number = 0;
  return plainNumber(value, number) && number <= most && (number > 0 || !positive);
}

} // namespace

bool surelyValid(int builtInType, std::string_view value) {
  switch (builtInType) {
  case XML_SCHEMAS_STRING: return true;
  case XML_SCHEMAS_BASE64BINARY: return isBase64(value);
  case XML_SCHEMAS_BOOLEAN: return value == "true" || value == "false" || value == "1" || value == "0";
  case XML_SCHEMAS_NCNAME:
  case XML_SCHEMAS_ID:
  case XML_SCHEMAS_IDREF: return isAsciiNcName(value);
  case XML_SCHEMAS_ANYURI: return isPlainAnyUri(value);
  default: {
    const std::uint64_t most = largest(builtInType);
    return most != 0 && isDigits(value, most, builtInType == XML_SCHEMAS_PINTEGER);
  }
  }
}

namespace {

// What a restriction of a built-in type by enumerations and lengths alone
// says of its values: the built-in type (XML_SCHEMAS_UNKNOWN for any other
// type), the bounds of their length in characters, whether they are
// enumerated.
struct Restriction {
  int builtInType = XML_SCHEMAS_UNKNOWN;
  std::size_t shortest = 0;
  std::size_t longest = SIZE_MAX;
  bool enumerated = false;
  bool list = false; // of values of builtInType, between blanks
};

// A length facet's value, when plain digits (as nearly all are).
bool lengthOf(const xmlSchemaFacet& facet, std::size_t& length) {
  std::uint64_t number = 0;
  if (facet.value == nullptr || !plainNumber(reinterpret_cast<const char*>(facet.value), number) ||
      number > 999999999) {
    return false;
  }
  length = static_cast<std::size_t>(number);
  return true;
}

Restriction restrictionOf(const xmlSchemaType& type) {
  Restriction restriction;
  if (type.type == XML_SCHEMA_TYPE_BASIC) {
    restriction.builtInType = type.builtInType;
    return restriction;
  }
  // A list of a built-in type, without facets of its own (its item type
  // is its subtypes).
  const xmlSchemaType* item = type.subtypes;
  if (type.type == XML_SCHEMA_TYPE_SIMPLE && (type.flags & XML_SCHEMAS_TYPE_VARIETY_LIST) != 0) {
    if (type.facets != nullptr || item == nullptr || item->type != XML_SCHEMA_TYPE_BASIC) {
      return {};
    }
    restriction.builtInType = item->builtInType;
    restriction.list = true;
    return restriction;
  }
  const xmlSchemaType* base = type.baseType;
  if (type.type != XML_SCHEMA_TYPE_SIMPLE || (type.flags & XML_SCHEMAS_TYPE_VARIETY_ATOMIC) == 0 ||
      base == nullptr || base->type != XML_SCHEMA_TYPE_BASIC) {
    return {};
  }
  for (const xmlSchemaFacet* facet = type.facets; facet != nullptr; facet = facet->next) {
    std::size_t length = 0;
    switch (facet->type) {
    case XML_SCHEMA_FACET_ENUMERATION:
      if (facet->value == nullptr) {
        return {};
      }
      restriction.enumerated = true;
      break;
    case XML_SCHEMA_FACET_LENGTH:
    case XML_SCHEMA_FACET_MINLENGTH:
    case XML_SCHEMA_FACET_MAXLENGTH:
      if (!lengthOf(*facet, length)) {
        return {};
      }
      if (facet->type != XML_SCHEMA_FACET_MAXLENGTH) {
        restriction.shortest = std::max(restriction.shortest, length);
      }
      if (facet->type != XML_SCHEMA_FACET_MINLENGTH) {
        restriction.longest = std::min(restriction.longest, length);
      }
      break;
    default: return {};
    }
  }
  // Lengths count characters of strings (and of the plain anyURIs taken
  // here, all ASCII), octets of binary types.
  const bool bounded = restriction.shortest != 0 || restriction.longest != SIZE_MAX;
  if (bounded && base->builtInType != XML_SCHEMAS_STRING && base->builtInType != XML_SCHEMAS_ANYURI) {
    return {};
  }
  restriction.builtInType = base->builtInType;
  return restriction;
}

// The same letters as an enumeration's literal are the same value; the
// schema layer checks a value against the built-in type, and its length.
bool admits(const Restriction& restriction, std::string_view value) {
  if (restriction.list) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    for (std::size_t at = 0; at < value.size();) {
      std::size_t end = at;
      while (end < value.size() && !blank(value[end])) {
        ++end;
      }
      if (end > at && !surelyValid(restriction.builtInType, value.substr(at, end - at))) {
        return false;
      }
      at = end + 1;
    }
    return true;
  }
  if (!surelyValid(restriction.builtInType, value)) {
    return false;
  }
  if (restriction.shortest == 0 && restriction.longest == SIZE_MAX) {
    return true;
  }
  std::size_t characters = 0;
  for (const char c : value) {
    characters += (byte(c) & 0xc0) != 0x80 ? 1 : 0;
  }
  return characters >= restriction.shortest && characters <= restriction.longest;
}

} // namespace

bool surelyValid(const xmlSchemaType& type, std::string_view value) {
  const Restriction restriction = restrictionOf(type);
  bool listed = !restriction.enumerated;
  for (const xmlSchemaFacet* facet = type.facets; facet != nullptr && !listed; facet = facet->next) {
    listed = facet->type == XML_SCHEMA_FACET_ENUMERATION && value == reinterpret_cast<const char*>(facet->value);
  }
  return listed && admits(restriction, value);
}

SimpleTypeCheck::SimpleTypeCheck(const xmlSchemaType& type) {
  const Restriction restriction = restrictionOf(type);
  builtInType = restriction.builtInType;
  shortest = restriction.shortest;
  longest = restriction.longest;
  enumerated = restriction.enumerated;
  list = restriction.list;
  for (const xmlSchemaFacet* facet = enumerated ? type.facets : nullptr; facet != nullptr; facet = facet->next) {
    if (facet->type == XML_SCHEMA_FACET_ENUMERATION) {
      literals.emplace_back(reinterpret_cast<const char*>(facet->value));
    }
  }
}

bool SimpleTypeCheck::operator()(std::string_view value) const {
  bool listed = !enumerated;
  for (std::size_t i = 0; i < literals.size() && !listed; ++i) {
    listed = literals[i] == value;
  }
  return listed && admits({builtInType, shortest, longest, enumerated, list}, value);
}

} // namespace platform::xml
