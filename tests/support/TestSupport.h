// Helpers shared by the unit tests: a scoped change of the current directory,
// a temporary current directory, captured standard output, small file helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "support/TemporaryDirectory.h"

namespace testsupport {

/// Makes a directory current for the object's lifetime, then restores the
/// one that was current before (also when the test fails or throws).
class CurrentDirectoryChange {
public:
  explicit CurrentDirectoryChange(const std::filesystem::path& directory)
      : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  CurrentDirectoryChange(const CurrentDirectoryChange&) = delete;
  CurrentDirectoryChange& operator=(const CurrentDirectoryChange&) = delete;
  ~CurrentDirectoryChange() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
  }

  const std::filesystem::path& previousDirectory() const { return previous; }

private:
  std::filesystem::path previous;
};

/// A temporary directory that is also the current directory, for tests of
/// code that writes into the current directory.
class TemporaryCurrentDirectory {
public:
  TemporaryCurrentDirectory() : change(temporary.path()) {}

  const std::filesystem::path& path() const { return temporary.path(); }
  std::string file(const std::string& name) const { return temporary.file(name); }

private:
  TemporaryDirectory temporary;
  CurrentDirectoryChange change;
};

/// Captures what is written to std::cout while the object lives.
class CapturedStdout {
public:
  CapturedStdout() : previous(std::cout.rdbuf(captured.rdbuf())) {}
  CapturedStdout(const CapturedStdout&) = delete;
  CapturedStdout& operator=(const CapturedStdout&) = delete;
  ~CapturedStdout() { std::cout.rdbuf(previous); }

  std::string text() const { return captured.str(); }

private:
  std::ostringstream captured;
  std::streambuf* previous;
};

/// Writes bytes to a file, binary, replacing what it held.
inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios_base::binary | std::ios_base::trunc);
  out << bytes;
  if (!out) {
    throw std::runtime_error("cannot write " + name);
  }
}

/// The bytes of a file, or "" when it cannot be read.
inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios_base::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The text of a file read as text (on Windows "\r\n" reads as "\n"), or ""
/// when it cannot be read.
inline std::string readTextFile(const std::string& name) {
  std::ifstream in(name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Splits text into lines at "\n"; a final "\n" ends the last line and
/// adds no empty line after it.
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) {
      result.push_back(text.substr(start));
      break;
    }
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

} // namespace testsupport
