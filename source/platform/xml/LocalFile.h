// One local file, opened for reading once and without blocking.
#pragma once

#include <string>

struct _xmlParserInputBuffer;

namespace platform::xml {

/// Opens a path once, whatever it names, without blocking (O_NONBLOCK), and
/// keeps the descriptor only when fstat on it shows a regular file: what is
/// checked is what is read, even if the name changes meanwhile. A
/// directory, a device, a FIFO or a socket is refused, never read.
class LocalFile {
public:
  explicit LocalFile(const std::string& path);
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;
  ~LocalFile();

  bool isOpen() const { return fd >= 0; }
  /// Why the file is not open: ENOENT, EISDIR for a directory, ENODEV for a
  /// device, FIFO or socket, or another errno value.
  int error() const { return errorCode; }
  /// error() as a phrase for a report, e.g. "it is a directory".
  std::string failure() const;
  /// The descriptor; the object no longer owns it.
  int release();

  /// A libxml2 input buffer over the open file, which then owns it; gzip
  /// and xz files are read decompressed. With whole, a file of at most
  /// wholeLimit bytes is read at once and handed over as one buffer.
  /// Null when none could be made.
  _xmlParserInputBuffer* intoInputBuffer(bool whole = false);

  /// The largest file that intoInputBuffer(true) reads at once (larger
  /// ones stream as usual).
  static constexpr long long wholeLimit = 16LL << 20;

private:
  int fd = -1;
  int errorCode = 0;
};

} // namespace platform::xml
