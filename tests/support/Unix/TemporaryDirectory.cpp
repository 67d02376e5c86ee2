#include "support/TemporaryDirectory.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace testsupport {

TemporaryDirectory::TemporaryDirectory() {
  const std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-test-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  }
  directory = std::filesystem::canonical(name.data());
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

std::string TemporaryDirectory::file(const std::string& name) const { return (directory / name).string(); }

std::string TemporaryDirectory::write(const std::string& name, const std::string& content) const {
  const std::string fullPath = file(name);
  std::filesystem::create_directories(std::filesystem::path(fullPath).parent_path());
  std::ofstream out(fullPath, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) {
    throw std::runtime_error("cannot write " + fullPath);
  }
  return fullPath;
}

} // namespace testsupport
