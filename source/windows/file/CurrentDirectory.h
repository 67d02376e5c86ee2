// Reading and changing the process's current directory.
#pragma once

#include <string>

namespace windows::file {

/// The process's current working directory, one setting for the whole
/// process.
class CurrentDirectory {
public:
  virtual ~CurrentDirectory();

  /// Makes directory the current directory. Throws
  /// SetCurrentDirectoryException, leaving the current directory unchanged.
  virtual void setDirectory(const std::string& directory) = 0;

  /// The current directory followed by one directory separator, whatever it
  /// ends with. Throws GetCurrentDirectoryException.
  virtual std::string getDirectory() = 0;
};

} // namespace windows::file
