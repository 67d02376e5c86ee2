// Quick acceptance of the commonest values of simple schema types.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

struct _xmlSchemaType;

namespace platform::xml {

/// True when value is certainly a valid literal of the built-in type
/// builtInType (an xmlSchemaValType); false when it may not be, which
/// leaves the check to the schema layer. Accepted now: any value of
/// xs:string (the parser has checked its characters); xs:base64Binary in
/// the strict form of its grammar, blanks anywhere (libxml2 itself skips
/// any other byte too); a run of 1 to 18 ASCII digits, nothing around it,
/// within the range of xs:integer or of a built-in type derived from it
/// that admits non-negative values; "true", "false", "1" and "0" for
/// xs:boolean; an ASCII name without a colon, nothing around it, for
/// xs:NCName, xs:ID and xs:IDREF; and for xs:anyURI, an absolute URI of
/// plain ASCII such as "urn:a:b" or "https://host:8080/p?q#f", or "".
///
/// Why: the schema layer spends some 400 instructions on checking a value
/// even where every value is valid (a lock and a dispatch per value, a
/// copy to collapse its blanks for all but strings), 20 per character of
/// base64, 2,000 on an anyURI (copies, and a parsed URI to free), and libxml2 2.13 and later check an integer by printing it and
/// 0 into fresh strings (snprintf, malloc) and comparing those, some 1,500
/// instructions for "42": more than the rest of the element's validation.
bool surelyValid(int builtInType, std::string_view value);

/// The same for a simple type of a compiled schema: a built-in one, an
/// atomic restriction of a built-in type by enumerations and lengths alone
/// (lengths of xs:string and xs:anyURI only), for a value valid for the
/// built-in type, of a length within bounds, and one of the enumerations
/// letter for letter where there are some; or a list of a built-in type
/// without facets, for items each valid. libxml2 compares a value with
/// each enumeration through typed values it makes and frees, some 700
/// instructions for three names.
bool surelyValid(const _xmlSchemaType& type, std::string_view value);

/// surelyValid(type, value) for the values of one type, with what it reads
/// of the type gathered once.
class SimpleTypeCheck {
public:
  explicit SimpleTypeCheck(const _xmlSchemaType& type);
  bool operator()(std::string_view value) const;

private:
  int builtInType;
  std::size_t shortest;
  std::size_t longest;
  bool enumerated;
  bool list;
  std::vector<std::string_view> literals;
};

} // namespace platform::xml
