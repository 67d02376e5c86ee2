// Quick acceptance of the commonest values of built-in schema types.
#pragma once

namespace platform::xml {

/// True when value (NUL-terminated) is certainly a valid literal of the
/// built-in type builtInType (an xmlSchemaValType); false when it may not
/// be, which leaves the check to the schema layer. Accepted now: any value
/// of xs:string (the parser has checked its characters); xs:base64Binary in
/// the strict form of its grammar, blanks anywhere (libxml2 itself skips
/// any other byte too); and a run of 1 to 18 ASCII digits, nothing around
/// it, within the range of xs:integer or of a built-in type derived from it
/// that admits non-negative values.
///
/// Why: the schema layer spends some 400 instructions on checking the text
/// of an element even where every text is valid (a lock and a dispatch per
/// value), 20 per character of base64, and libxml2 2.13 and later check an
/// integer by printing it and 0 into fresh strings (snprintf, malloc) and
/// comparing those, some 1,500 instructions for "42": more than the rest of
/// the element's validation.
bool surelyValid(int builtInType, const unsigned char* value);

} // namespace platform::xml
