#include "platform/xml/LocalNames.h"

#include <algorithm>

#include <windows.h>

#include "platform/xml/Windows/WideNames.h"

namespace platform::xml::localnames {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSeparator(char c) { return c == '/' || c == '\\'; }

// A full Windows path ("C:\dir\f", "\\server\share\f", "\\?\C:\f",
// "\\?\UNC\server\share\f", "\\.\CON") in slash form.
std::string slashForm(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.compare(0, 8, "//?/UNC/") == 0) {
    path.erase(2, 6);
  } else if (path.compare(0, 4, "//?/") == 0) {
    path.erase(0, 4);
  }
  if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
    path.insert(0, "/");
  }
  return path;
}

std::wstring fullPath(const std::wstring& name) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) {
      return name;
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length);
  }
}

} // namespace

const bool hostsAreShares = true;

std::string currentDirectory() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(length, L'\0');
  if (length == 0 || GetCurrentDirectoryW(length, buffer.data()) + 1 != length) {
    return "/";
  }
  buffer.resize(length - 1);
  std::string slash = slashForm(windows::utf8(buffer));
  // "C:\" is a root and keeps its '/'; other directories end without one.
  if (slash.size() > 4 && slash.back() == '/') {
    slash.pop_back();
  }
  return slash;
}

bool exists(const std::string& argument) {
  return !argument.empty() && GetFileAttributesW(windows::wide(argument, true).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isRelative(const std::string& argument) {
  const bool rooted = !argument.empty() && isSeparator(argument[0]);
  const bool drive = argument.size() >= 2 && isLetter(argument[0]) && argument[1] == ':';
  return !rooted && !drive;
}

std::string absolute(const std::string& argument, const std::string&) {
  // The system's own rules: drive-relative names ("C:f.xml"), a leading
  // '\' (the current drive's root), device names ("NUL" is "\\.\NUL").
  return slashForm(windows::utf8(fullPath(windows::wide(argument, true))));
}

std::string argumentBytes(const wchar_t* text, std::size_t length) { return windows::ansi(text, length); }

std::string utf8Argument(const std::string& argument) { return windows::utf8(windows::wide(argument, true)); }

std::string openName(const std::string&, const std::string& slashPath) { return native(slashPath); }

std::string native(const std::string& slashPath) {
  std::string path = slashPath;
  if (path.size() >= 3 && path[0] == '/' && isLetter(path[1]) && path[2] == ':') {
    path.erase(0, 1);
  }
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string displayed(const std::string& relativeSlashPath) {
  std::string path = relativeSlashPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

long long regularFileSize(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(windows::wide(name).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return -1;
  }
  return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

} // namespace platform::xml::localnames
