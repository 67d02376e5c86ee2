// The subset of the kernel32 interface that the program uses, on POSIX.
#pragma once

#include <cstdint>

namespace platform::win32 {

using UINT = unsigned int;
using DWORD = std::uint32_t;
using BOOL = int;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;

/// The ANSI code page of the system and of the calling thread's locale. On
/// this platform both are the byte-identity page: byte b <-> code unit b.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;

/// Converts codePage bytes to UTF-16 code units. byteCount -1 converts up to
/// and including the terminating NUL. With wideCapacity 0 returns the units
/// needed; otherwise the units written, or 0 on failure (unknown code page,
/// bad arguments, or a buffer too small) with the last error set.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide,
                        int wideCapacity);

} // namespace platform::win32
