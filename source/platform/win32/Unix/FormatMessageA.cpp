#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/Kernel32.h"

namespace platform::win32 {

namespace {

// strerror_r comes in two shapes (XSI returns int, GNU returns char*); these
// overloads accept either and yield the text or null.
[[maybe_unused]] const char* strerrorText(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* strerrorText(const char* result, const char*) { return result; }

// The C library's text for a code, or false when it has none of its own.
bool systemText(int code, std::string& text) {
  char buffer[256] = {};
  const char* message = strerrorText(strerror_r(code, buffer, sizeof buffer), buffer);
  static const char unknown[] = "Unknown error";
  if (message == nullptr || *message == '\0' ||
      std::strncmp(message, unknown, sizeof unknown - 1) == 0) {
    return false;
  }
  text = message;
  return true;
}

} // namespace

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     va_list*) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
    errno = EINVAL;
    return 0;
  }
  std::string text;
  if (!systemText(static_cast<int>(messageId), text)) {
    errno = ENOMSG;
    return 0;
  }
  text += "\r\n";
  const std::size_t length = text.size();

  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    const std::size_t capacity = length + 1 > size ? length + 1 : size;
    char* allocated = static_cast<char*>(std::calloc(capacity, 1));
    if (allocated == nullptr) {
      errno = ENOMEM;
      return 0;
    }
    std::memcpy(allocated, text.c_str(), length + 1);
    *reinterpret_cast<char**>(buffer) = allocated;
    return static_cast<DWORD>(length);
  }
  if (length + 1 > size) {
    errno = ENOBUFS;
    return 0;
  }
  std::memcpy(buffer, text.c_str(), length + 1);
  return static_cast<DWORD>(length);
}

} // namespace platform::win32
