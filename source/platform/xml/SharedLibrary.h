// A shared library loaded at run time.
#pragma once

namespace platform::xml {

/// Loads a shared library by name (a soname on POSIX, a DLL name on
/// Windows, looked up only in the program's own folder and the system
/// folder) and finds its symbols. A loaded library stays loaded until the
/// process ends.
class SharedLibrary {
public:
  /// The library, or null when it cannot be loaded.
  static void* load(const char* name);
  /// A symbol of a loaded library, or null when it has none of that name.
  static void* symbol(void* library, const char* name);
};

} // namespace platform::xml
