// The kernel32 subset on Windows: each operation is the system's own.
// Kernel32.h comes first: <windows.h> defines its constants' names as macros.
#include "platform/win32/Kernel32.h"

#include <windows.h>

namespace platform::win32 {

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide,
                        int wideCapacity) {
  return ::MultiByteToWideChar(codePage, flags, bytes, byteCount, wide, wideCapacity);
}

DWORD GetLastError() { return static_cast<DWORD>(::GetLastError()); }

void SetLastError(DWORD errorCode) { ::SetLastError(errorCode); }

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments) {
  return static_cast<DWORD>(
      ::FormatMessageA(flags, source, messageId, languageId, buffer, size, arguments));
}

HLOCAL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  return static_cast<DWORD>(::GetCurrentDirectoryA(bufferLength, buffer));
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) { return ::SetCurrentDirectoryA(pathName); }

} // namespace platform::win32
