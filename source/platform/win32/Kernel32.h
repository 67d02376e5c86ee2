// The subset of the kernel32 interface that the program uses: on Windows
// the system's own (Windows/), on POSIX ours (Unix/).
#pragma once

#include <cstdarg>
#include <cstdint>

namespace platform::win32 {

using UINT = unsigned int;
using DWORD = std::uint32_t;
using BOOL = int;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPCVOID = const void*;
using HLOCAL = void*;

/// The ANSI code page of the system and of the calling thread's locale. On
/// this platform both are the byte-identity page: byte b <-> code unit b.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;

/// The classic path buffer length, terminating NUL included.
constexpr DWORD MAX_PATH = 260;

/// The platform's directory separator ('\\' on Windows).
constexpr char DIRECTORY_SEPARATOR = '/';

/// Converts codePage bytes to UTF-16 code units. byteCount -1 converts up to
/// and including the terminating NUL. With wideCapacity 0 returns the units
/// needed; otherwise the units written, or 0 on failure (unknown code page,
/// bad arguments, or a buffer too small) with the last error set.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide,
                        int wideCapacity);

/// The calling thread's last error code. Here it is the thread's errno, so
/// after a failed C library or system call it is that call's code (ENOENT is
/// 2, as on Windows).
DWORD GetLastError();

/// Sets the calling thread's last error code (its errno).
void SetLastError(DWORD errorCode);

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

/// The neutral language with its default sublanguage: the platform's own
/// language search.
constexpr DWORD LANG_NEUTRAL_DEFAULT = 0x400;

/// The system's message text for messageId. Only FORMAT_MESSAGE_FROM_SYSTEM
/// is supported (source and arguments are ignored, languageId selects
/// nothing: the C library has one language). The text is the C library's
/// text for the error code followed by "\r\n", as Windows' message table
/// ends its texts; a code the C library has no text for ("Unknown error N")
/// has none here either.
/// With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really a char** that
/// receives a new NUL-terminated text of at least size characters, to be
/// released with LocalFree; otherwise the text is copied into buffer, which
/// holds size characters. Returns the characters stored without the NUL,
/// or 0 on failure (no text, bad arguments, buffer too small) with the last
/// error set.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list* arguments);

/// Releases a buffer that FormatMessageA allocated. Null is allowed. Returns
/// null on success.
HLOCAL LocalFree(HLOCAL memory);

/// Copies the current directory, NUL-terminated, into buffer of
/// bufferLength characters and returns its length without the NUL. When the
/// buffer is too small it writes nothing usable and returns the length
/// needed, NUL included. Returns 0 on failure with the last error set (for
/// example when the current directory has been removed).
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);

/// Makes pathName the process's current directory. Returns non-zero on
/// success, 0 on failure with the last error set.
BOOL SetCurrentDirectoryA(LPCSTR pathName);

} // namespace platform::win32
