#include "support/TemporaryDirectory.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

namespace {

constexpr int attempts = 100;

} // namespace

// Windows has no mkdtemp: CreateDirectoryW refuses a name that exists, so a
// random name that it accepts is ours alone.
TemporaryDirectory::TemporaryDirectory() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 generator(seed());
  DWORD lastError = 0;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    static const char digits[] = "0123456789abcdef";
    std::string name = "vexlor-test-";
    std::uint64_t bits = generator();
    for (int digit = 0; digit < 12; ++digit, bits >>= 4) {
      name += digits[bits & 0xf];
    }
    const std::filesystem::path candidate = base / name;
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      directory = std::filesystem::canonical(candidate);
      return;
    }
    lastError = GetLastError();
    if (lastError != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  throw std::runtime_error("CreateDirectoryW under " + base.string() + ": " +
                           std::system_category().message(static_cast<int>(lastError)));
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

// Names are UTF-8, as on POSIX; a plain std::string would be taken in the
// ANSI code page.
std::string TemporaryDirectory::file(const std::string& name) const {
  return (directory / std::filesystem::u8path(name)).u8string();
}

std::string TemporaryDirectory::write(const std::string& name, const std::string& content) const {
  const std::filesystem::path fullPath = directory / std::filesystem::u8path(name);
  std::filesystem::create_directories(fullPath.parent_path());
  std::ofstream out(fullPath, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out) {
    throw std::runtime_error("cannot write " + fullPath.u8string());
  }
  return fullPath.u8string();
}

} // namespace testsupport
