#include "windows/file/CurrentDirectoryImpl.h"

#include "platform/errorresources/SystemErrors.h"
#include "platform/win32/Kernel32.h"
#include "util/memory/Memory.h"

namespace windows::file {

namespace win32 = platform::win32;
using platform::errorresources::SystemErrors;

CurrentDirectoryImpl::~CurrentDirectoryImpl() = default;

void CurrentDirectoryImpl::setDirectory(const std::string& directory) {
  if (win32::SetCurrentDirectoryA(directory.c_str()) == 0) {
    const win32::DWORD errorCode = win32::GetLastError();
    throw SetCurrentDirectoryException("Could not set the directory, " + directory +
                                       ", to the current directory.\n\n" +
                                       SystemErrors::map(static_cast<int>(errorCode)));
  }
}

std::string CurrentDirectoryImpl::getDirectory() {
  win32::DWORD capacity = win32::MAX_PATH;
  for (;;) {
    util::ScopedArray<char> buffer(new char[capacity]);
    const win32::DWORD length = win32::GetCurrentDirectoryA(capacity, buffer.get());
    if (length == 0) {
      const win32::DWORD errorCode = win32::GetLastError();
      throw GetCurrentDirectoryException("Couldn't get the current directory.\n\n " +
                                         SystemErrors::map(static_cast<int>(errorCode)));
    }
    if (length < capacity) {
      return std::string(buffer.get(), length) + win32::DIRECTORY_SEPARATOR;
    }
    // Too long for the buffer: length is the size needed. Ask again, in case
    // the directory changed in between.
    capacity = length;
  }
}

} // namespace windows::file
