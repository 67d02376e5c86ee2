#include "platform/xml/SharedLibrary.h"

#include <windows.h>

namespace platform::xml {

void* SharedLibrary::load(const char* name) {
  // Never from the current directory: a document's folder could plant a DLL.
  HMODULE library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  return reinterpret_cast<void*>(library);
}

void* SharedLibrary::symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

} // namespace platform::xml
