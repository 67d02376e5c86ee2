#include "platform/xml/LocalFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libxml/parser.h>
#include <libxml/xmlIO.h>

namespace platform::xml {

namespace {

// Gzip and xz files are read through libxml2's decompressing inputs.
bool isCompressed(int fd) {
  unsigned char head[6] = {};
  const ssize_t count = pread(fd, head, sizeof head, 0);
  const bool gzip = count >= 2 && head[0] == 0x1f && head[1] == 0x8b;
  const bool xz = count == 6 && std::memcmp(head, "\xfd" "7zXZ\0", 6) == 0;
  return gzip || xz;
}

// The whole file, or nothing when it is larger than limit or cannot be
// read to its end.
std::string readWhole(int fd, long long limit) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || status.st_size > limit) {
    return {};
  }
  std::string contents(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t got = 0;
  while (got < contents.size()) {
    const ssize_t count = pread(fd, &contents[got], contents.size() - got, static_cast<off_t>(got));
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return {};
    }
    got += static_cast<std::size_t>(count);
  }
  return contents;
}

} // namespace

LocalFile::LocalFile(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (opened < 0) {
    errorCode = errno;
    return;
  }
  struct stat status {};
  if (fstat(opened, &status) != 0 || !S_ISREG(status.st_mode)) {
    errorCode = S_ISDIR(status.st_mode) ? EISDIR : ENODEV;
    ::close(opened);
    return;
  }
  handle = opened;
}

LocalFile::~LocalFile() {
  if (handle != none) {
    ::close(static_cast<int>(handle));
  }
}

int LocalFile::read(char* buffer, int length) {
  if (handle == none || length < 0) {
    return -1;
  }
  ssize_t count = 0;
  do {
    count = ::read(static_cast<int>(handle), buffer, static_cast<std::size_t>(length));
  } while (count < 0 && errno == EINTR);
  return count < 0 ? -1 : static_cast<int>(count);
}

xmlParserInputBufferPtr LocalFile::intoInputBuffer(bool whole) {
  if (handle == none) {
    return nullptr;
  }
  const int fd = static_cast<int>(handle);
  if (whole && !isCompressed(fd)) {
    const std::string contents = readWhole(fd, wholeLimit);
    // xmlParserInputBufferCreateMem copies the bytes in 2.9 and 2.10,
    // the series that read whole files.
    xmlParserInputBufferPtr buffer =
        contents.empty() ? nullptr
                         : xmlParserInputBufferCreateMem(contents.data(), static_cast<int>(contents.size()),
                                                         XML_CHAR_ENCODING_NONE);
    if (buffer != nullptr) {
      ::close(fd);
      handle = none;
      return buffer;
    }
  }
  if (!isCompressed(fd)) {
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateFd(fd, XML_CHAR_ENCODING_NONE);
    if (buffer != nullptr) {
      handle = none; // the buffer closes it
    }
    return buffer;
  }
  // The decompressing inputs open by name: the name of this descriptor.
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  return xmlParserInputBufferCreateFilename(name.c_str(), XML_CHAR_ENCODING_NONE);
}

} // namespace platform::xml
