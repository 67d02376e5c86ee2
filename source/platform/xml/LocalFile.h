// One local file, opened for reading once and without blocking.
#pragma once

#include <cstdint>
#include <string>

struct _xmlParserInputBuffer;

namespace platform::xml {

/// Opens a path once, whatever it names, without blocking, and keeps it
/// open only when what it opened is a regular file: what is checked is what
/// is read, even if the name changes meanwhile. A directory, a device, a
/// FIFO, a pipe or a socket is refused, never read or waited on (on
/// Windows, names of devices such as CON or NUL, in any folder and with
/// any extension, are refused before anything is opened). Names are
/// UTF-8 on Windows and opened by their UTF-16 form.
class LocalFile {
public:
  explicit LocalFile(const std::string& path);
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;
  ~LocalFile();

  bool isOpen() const { return handle != none; }
  /// Why the file is not open: ENOENT, EISDIR for a directory, ENODEV for a
  /// device, FIFO or socket, or another errno value.
  int error() const { return errorCode; }
  /// error() as a phrase for a report, e.g. "it is a directory".
  std::string failure() const;
  /// Reads up to length bytes at the current position: the count read, 0
  /// at the end, -1 on an error or when the file is not open.
  int read(char* buffer, int length);

  /// A libxml2 input buffer over the open file, which then owns it; gzip
  /// and xz files are read decompressed. With whole, a file of at most
  /// wholeLimit bytes is read at once and handed over as one buffer.
  /// Null when none could be made.
  _xmlParserInputBuffer* intoInputBuffer(bool whole = false);

  /// The largest file that intoInputBuffer(true) reads at once (larger
  /// ones stream as usual).
  static constexpr long long wholeLimit = 16LL << 20;

private:
  // The descriptor (POSIX) or HANDLE (Windows).
  static constexpr std::intptr_t none = -1;
  std::intptr_t handle = none;
  int errorCode = 0;
};

} // namespace platform::xml
