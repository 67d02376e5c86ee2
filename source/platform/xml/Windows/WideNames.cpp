#include "platform/xml/Windows/WideNames.h"

#include <windows.h>

namespace platform::xml::windows {

std::wstring wide(const std::string& text, bool ansi) {
  if (text.empty()) {
    return {};
  }
  const UINT page = ansi ? CP_THREAD_ACP : CP_UTF8;
  const int size = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(page, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) {
    MultiByteToWideChar(page, 0, text.data(), size, out.data(), units);
  }
  return out;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  }
  return out;
}

std::string ansi(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) {
    return {};
  }
  const int size = static_cast<int>(length);
  // UTF-8 as the ANSI code page (a Windows 10 option) and a few others take
  // no flags; UTF-8 has no best-fit letters anyway.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int bytes = WideCharToMultiByte(CP_THREAD_ACP, flags, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    bytes = WideCharToMultiByte(CP_THREAD_ACP, flags, text, size, nullptr, 0, nullptr, nullptr);
  }
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_THREAD_ACP, flags, text, size, out.data(), bytes, nullptr, nullptr);
  }
  return out;
}

} // namespace platform::xml::windows
