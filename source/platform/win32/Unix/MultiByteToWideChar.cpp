#include <cerrno>
#include <cstring>

#include "platform/win32/Kernel32.h"

namespace platform::win32 {

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide,
                        int wideCapacity) {
  if ((codePage != CP_ACP && codePage != CP_THREAD_ACP) || flags != 0 || bytes == nullptr ||
      byteCount < -1 || byteCount == 0 || wideCapacity < 0) {
    errno = EINVAL;
    return 0;
  }
  const std::size_t count =
      byteCount == -1 ? std::strlen(bytes) + 1 : static_cast<std::size_t>(byteCount);
  if (wideCapacity == 0) {
    return static_cast<int>(count);
  }
  if (wide == nullptr || count > static_cast<std::size_t>(wideCapacity)) {
    errno = ENOBUFS;
    return 0;
  }
  for (std::size_t i = 0; i < count; ++i) {
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  }
  return static_cast<int>(count);
}

} // namespace platform::win32
