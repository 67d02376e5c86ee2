#include "platform/xml/LocalNames.h"

#include <cerrno>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/xml/WideText.h"

namespace platform::xml::localnames {

const bool hostsAreShares = false;

std::string currentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return "/";
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool exists(const std::string& argument) {
  struct stat status {};
  return lstat(argument.c_str(), &status) == 0;
}

bool isRelative(const std::string& argument) { return argument.compare(0, 1, "/") != 0; }

std::string absolute(const std::string& argument, const std::string& currentDirectory) {
  if (!isRelative(argument)) {
    return argument;
  }
  return (currentDirectory == "/" ? "/" : currentDirectory + "/") + argument;
}

std::string argumentBytes(const wchar_t* text, std::size_t length) { return narrow(text, length); }

std::string utf8Argument(const std::string& argument) { return argument; }

std::string openName(const std::string& argument, const std::string&) { return argument; }

std::string native(const std::string& slashPath) { return slashPath; }

std::string displayed(const std::string& relativeSlashPath) { return relativeSlashPath; }

long long regularFileSize(const std::string& name) {
  struct stat status {};
  return stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? static_cast<long long>(status.st_size)
                                                                    : -1;
}

} // namespace platform::xml::localnames
