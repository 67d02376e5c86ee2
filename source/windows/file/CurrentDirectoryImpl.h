// The current directory through the platform.
#pragma once

#include <string>

#include "windows/file/CurrentDirectory.h"
#include "windows/file/CurrentDirectoryException.h"

namespace windows::file {

/// CurrentDirectory over the platform's calls. Holds no state. Failure texts
/// end with the system's text for the error code.
class CurrentDirectoryImpl : public CurrentDirectory {
public:
  CurrentDirectoryImpl() = default;
  ~CurrentDirectoryImpl() override;

  /// Throws SetCurrentDirectoryException: "Could not set the directory, "
  /// + directory + ", to the current directory.\n\n" + the system text.
  void setDirectory(const std::string& directory) override;

  /// A directory of any length is returned. Throws
  /// GetCurrentDirectoryException: "Couldn't get the current directory.\n\n "
  /// + the system text.
  std::string getDirectory() override;
};

} // namespace windows::file
