// A read-only byte stream over one file.
#pragma once

#include <vector>

namespace io::file {

/// Reads a file from its current position. Sizes and counts are signed
/// 32-bit values; failures leave as io::file::IStreamException.
class IFStream {
public:
  /// bytesToRead bytes from the current position, or the whole file's
  /// length when it is 0; the position advances past them.
  virtual std::vector<char> read(int bytesToRead) = 0;

  /// The file's length in bytes; the position stays where it was.
  virtual int size() = 0;

  /// Whether no byte can be read at the current position. Consumes nothing.
  virtual bool eof() = 0;

  virtual ~IFStream();
};

} // namespace io::file
