#include "platform/xml/LocalFile.h"

#include <cerrno>

#include <windows.h>

#include <libxml/parser.h>
#include <libxml/xmlIO.h>

#include "platform/xml/Windows/WideNames.h"

namespace platform::xml {

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the last segment of name is one of the names that Windows opens
// as a device in every folder: CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$,
// CONOUT$, with or without an extension or trailing dots and spaces; or
// whether the name is in the device namespace ("\\.\pipe\x", "\\.\C:").
bool namesDevice(const std::string& name) {
  if (name.compare(0, 4, "\\\\.\\") == 0 || name.compare(0, 4, "//./") == 0) {
    return true;
  }
  const std::size_t slash = name.find_last_of("\\/:");
  std::string base = name.substr(slash == std::string::npos ? 0 : slash + 1);
  base = base.substr(0, base.find_first_of(". "));
  for (char& c : base) {
    c = upper(c);
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

int errnoOf(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
  case ERROR_DIRECTORY:
    return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return EACCES;
  default:
    return EIO;
  }
}

HANDLE asHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Reads from the current position; -1 on an error.
int readAt(HANDLE file, char* buffer, int length) {
  DWORD count = 0;
  if (length < 0 || !ReadFile(file, buffer, static_cast<DWORD>(length), &count, nullptr)) {
    return -1;
  }
  return static_cast<int>(count);
}

// The whole file, or nothing when it is larger than limit or cannot be
// read to its end.
std::string readWhole(HANDLE file, long long limit) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > limit) {
    return {};
  }
  std::string contents(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t got = 0;
  while (got < contents.size()) {
    const int count = readAt(file, &contents[got], static_cast<int>(contents.size() - got));
    if (count <= 0) {
      return {};
    }
    got += static_cast<std::size_t>(count);
  }
  return contents;
}

int readCallback(void* context, char* buffer, int length) {
  return readAt(static_cast<HANDLE>(context), buffer, length);
}

int closeCallback(void* context) {
  CloseHandle(static_cast<HANDLE>(context));
  return 0;
}

} // namespace

LocalFile::LocalFile(const std::string& path) {
  if (namesDevice(path)) {
    errorCode = ENODEV;
    return;
  }
  // FILE_FLAG_BACKUP_SEMANTICS opens a directory too, so that it is told
  // apart from a file that cannot be read.
  const HANDLE opened =
      CreateFileW(windows::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    errorCode = errnoOf(GetLastError());
    return;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(opened) != FILE_TYPE_DISK || !GetFileInformationByHandle(opened, &information)) {
    errorCode = ENODEV;
  } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errorCode = EISDIR;
  } else {
    handle = reinterpret_cast<std::intptr_t>(opened);
    return;
  }
  CloseHandle(opened);
}

LocalFile::~LocalFile() {
  if (handle != none) {
    CloseHandle(asHandle(handle));
  }
}

int LocalFile::read(char* buffer, int length) {
  return handle == none ? -1 : readAt(asHandle(handle), buffer, length);
}

// This libxml2 is built without zlib and liblzma: compressed files are read
// as they are.
xmlParserInputBufferPtr LocalFile::intoInputBuffer(bool whole) {
  if (handle == none) {
    return nullptr;
  }
  if (whole) {
    const std::string contents = readWhole(asHandle(handle), wholeLimit);
    xmlParserInputBufferPtr buffer =
        contents.empty() ? nullptr
                         : xmlParserInputBufferCreateMem(contents.data(), static_cast<int>(contents.size()),
                                                         XML_CHAR_ENCODING_NONE);
    if (buffer != nullptr) {
      return buffer;
    }
    if (SetFilePointer(asHandle(handle), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
      return nullptr;
    }
  }
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateIO(readCallback, closeCallback, asHandle(handle), XML_CHAR_ENCODING_NONE);
  if (buffer != nullptr) {
    handle = none; // the buffer closes it
  }
  return buffer;
}

} // namespace platform::xml
