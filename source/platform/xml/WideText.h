// Moving texts between this layer's narrow bytes and COM's wide strings.
#pragma once

#include <string>

#include "platform/com/ComTypes.h"

namespace platform::xml {

/// Each byte becomes the code unit of the same value: the platform's ANSI
/// code page is the byte-identity page, so the caller's conversion back
/// yields the very same bytes (UTF-8 messages and names survive intact).
std::wstring widen(const std::string& bytes);

/// The inverse of widen for units up to 0xFF; a text that holds larger
/// units is real UTF-16 and comes back as UTF-8.
std::string narrow(const com::OLECHAR* text, std::size_t length);

/// A new BSTR holding widen(bytes); null when memory is short.
com::BSTR allocateBstr(const std::string& bytes);

} // namespace platform::xml
