#include "e2e/ScratchDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace e2e {

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-e2e-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr)
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  path_ = buffer.data();
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDirectory::writeFile(const std::string& name, const std::string& content) const {
  const std::string fullPath = path_ + "/" + name;
  std::ofstream file(fullPath, std::ios::binary);
  file << content;
  file.close();
  if (!file)
    throw std::runtime_error("cannot write " + fullPath);
  return fullPath;
}

} // namespace e2e
