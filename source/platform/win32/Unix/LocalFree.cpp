#include <cstdlib>

#include "platform/win32/Kernel32.h"

namespace platform::win32 {

// FormatMessageA allocates with the C heap, so that is where memory goes back.
HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

} // namespace platform::win32
