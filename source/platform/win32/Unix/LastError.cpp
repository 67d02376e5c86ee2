#include <cerrno>

#include "platform/win32/Kernel32.h"

namespace platform::win32 {

DWORD GetLastError() { return static_cast<DWORD>(errno); }

void SetLastError(DWORD errorCode) { errno = static_cast<int>(errorCode); }

} // namespace platform::win32
