#include "platform/errorresources/SystemErrors.h"

#include <memory>

#include "platform/win32/Kernel32.h"
#include "util/Assertion.h"
#include "util/Helpers.h"
#include "util/LineEnds.h"

namespace platform::errorresources {

namespace {

struct LocalFreeDeleter {
  void operator()(char* buffer) const noexcept { platform::win32::LocalFree(buffer); }
};

} // namespace

std::string SystemErrors::map(int errorCode, const ErrorMapper* fallbackErrors) noexcept {
  try {
    std::string result = "System error message: ";
    namespace win32 = platform::win32;
    char* text = nullptr;
    const win32::DWORD length = win32::FormatMessageA(
        win32::FORMAT_MESSAGE_FROM_SYSTEM | win32::FORMAT_MESSAGE_IGNORE_INSERTS |
            win32::FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, static_cast<win32::DWORD>(errorCode), win32::LANG_NEUTRAL_DEFAULT,
        reinterpret_cast<win32::LPSTR>(&text), 0, nullptr);
    if (length != 0) {
      const std::unique_ptr<char, LocalFreeDeleter> owned(text);
      return result.append(text, length);
    }
    if (fallbackErrors != nullptr) {
      const std::pair<bool, std::string> found = fallbackErrors->lookup(errorCode);
      if (found.first) {
        return result + found.second + util::CRLF;
      }
    }
    return result + "The string representation of the error code [" + util::toString(errorCode) +
           "] was not found." + util::CRLF;
  } catch (...) {
    // A handler that raises while reporting must not end the process here.
    try {
      ASSERTION(false);
    } catch (...) {
    }
    return "An unexpected exception was caught in static std::string SystemErrors::map(int "
           "errorCode, const ErrorMapper* fallbackErrors = 0) throw()\n";
  }
}

} // namespace platform::errorresources
