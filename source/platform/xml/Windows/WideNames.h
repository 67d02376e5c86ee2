// UTF-16 names for the Windows implementations of this folder.
#pragma once

#include <string>

namespace platform::xml::windows {

/// UTF-8 (or, with ansi, bytes in the thread's ANSI code page, as the
/// command line comes) to UTF-16; invalid
/// input is replaced as MultiByteToWideChar replaces it.
std::wstring wide(const std::string& text, bool ansi = false);
/// UTF-16 to UTF-8.
std::string utf8(const std::wstring& text);

} // namespace platform::xml::windows
