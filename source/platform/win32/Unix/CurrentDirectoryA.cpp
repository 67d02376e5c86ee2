#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/win32/Kernel32.h"

namespace platform::win32 {

namespace {

struct FreeDeleter {
  void operator()(char* memory) const noexcept { std::free(memory); }
};

} // namespace

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  // getcwd with no buffer allocates one of the right size, so the length
  // needed is known even when the caller's buffer is too small.
  const std::unique_ptr<char, FreeDeleter> directory(getcwd(nullptr, 0));
  if (!directory) {
    return 0;
  }
  const std::size_t length = std::strlen(directory.get());
  if (buffer == nullptr || length + 1 > bufferLength) {
    return static_cast<DWORD>(length + 1);
  }
  std::memcpy(buffer, directory.get(), length + 1);
  return static_cast<DWORD>(length);
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) {
  if (pathName == nullptr) {
    errno = EINVAL;
    return 0;
  }
  return chdir(pathName) == 0 ? 1 : 0;
}

} // namespace platform::win32
