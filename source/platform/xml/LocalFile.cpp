// What both systems' LocalFile share; opening and reading are in Unix/ and
// Windows/.
#include "platform/xml/LocalFile.h"

#include <cerrno>
#include <cstring>

namespace platform::xml {

std::string LocalFile::failure() const {
  switch (errorCode) {
  case EISDIR: return "it is a directory";
  case ENODEV: return "not a regular file (a device, FIFO or socket)";
  default: return std::strerror(errorCode);
  }
}

} // namespace platform::xml
