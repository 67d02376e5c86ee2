// A private temporary directory for tests that need files made at run time.
#pragma once

#include <string>

namespace e2e {

/// Creates a fresh, empty directory under the system's temporary directory
/// and removes it with everything in it when destroyed.
class ScratchDirectory {
public:
  /// Throws std::runtime_error when the directory cannot be created.
  ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory();

  const std::string& path() const { return path_; }

  /// Writes content to the file name (relative to this directory) and
  /// returns the file's full path. Throws std::runtime_error on failure.
  std::string writeFile(const std::string& name, const std::string& content) const;

private:
  std::string path_;
};

} // namespace e2e
