#include "platform/xml/SharedLibrary.h"

#include <dlfcn.h>

namespace platform::xml {

void* SharedLibrary::load(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void* SharedLibrary::symbol(void* library, const char* name) { return dlsym(library, name); }

} // namespace platform::xml
