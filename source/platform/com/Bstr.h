// The length-prefixed wide strings that COM hands across interfaces.
#pragma once

#include "platform/com/ComTypes.h"

namespace platform::com {

/// A BSTR points at its first character; the 32-bit length of the text in
/// bytes stands just before it and a NUL just after the last character. The
/// text may hold NULs of its own. A null BSTR is the empty string.

/// A new BSTR holding text up to its first NUL; null when text is null or
/// memory is short.
BSTR SysAllocString(const OLECHAR* text);

/// A new BSTR of length characters copied from text, or all NULs when text
/// is null; null when memory is short or the byte length does not fit the
/// prefix.
BSTR SysAllocStringLen(const OLECHAR* text, unsigned length);

/// Frees a BSTR made by the functions above; null is harmless.
void SysFreeString(BSTR string);

/// The number of characters, embedded NULs included; 0 for null.
unsigned SysStringLen(BSTR string);

} // namespace platform::com
