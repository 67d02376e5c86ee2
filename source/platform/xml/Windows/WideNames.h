// UTF-16 names for the Windows implementations of this folder.
#pragma once

#include <cstddef>
#include <string>

namespace platform::xml::windows {

/// UTF-8 (or, with ansi, bytes in the thread's ANSI code page, as the
/// command line comes) to UTF-16; invalid
/// input is replaced as MultiByteToWideChar replaces it.
std::wstring wide(const std::string& text, bool ansi = false);
/// UTF-16 to UTF-8.
std::string utf8(const std::wstring& text);
/// UTF-16 to the thread's ANSI code page, the inverse of wide(text, true);
/// a unit the page cannot hold becomes '?' (no best-fit letters: "ï" must
/// not turn into an "i" that names another file).
std::string ansi(const wchar_t* text, std::size_t length);

} // namespace platform::xml::windows
