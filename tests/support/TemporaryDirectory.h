// A private directory for the files a test makes at run time.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

/// A new empty directory under the system's temporary directory, removed
/// with its content when the object goes.
class TemporaryDirectory {
public:
  /// Throws std::runtime_error when the directory cannot be made.
  TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory();

  /// The directory's full, canonical path.
  const std::filesystem::path& path() const { return directory; }

  /// path() / name as a string, UTF-8 on every system (name is UTF-8 too).
  std::string file(const std::string& name) const;

  /// Writes content, binary, to name (relative to this directory, folders
  /// made as needed), replacing what it held; returns file(name). Throws
  /// std::runtime_error when the file cannot be written.
  std::string write(const std::string& name, const std::string& content) const;

private:
  std::filesystem::path directory;
};

} // namespace testsupport
