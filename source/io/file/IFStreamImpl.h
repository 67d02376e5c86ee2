// The file input stream over the standard file stream.
#pragma once

#include <fstream>
#include <ios>
#include <string>
#include <vector>

#include "io/file/IFStream.h"
#include "io/file/IStreamException.h"

namespace io::file {

/// A read-only byte stream over one file, opened by name. Every stream
/// failure and every refused request leaves as IStreamException whose text
/// has five parts, one per line: what went wrong; "Filename: '<name>'";
/// "Current Working Directory: " and the directory; the system's text for
/// the last error code; "C++ exception: " and the stream failure's text (or
/// "None."). Any other exception inside the stream calls is reported as a
/// failed check and passed on unchanged.
/// Positions are taken modulo 2^32, and one read returns at most
/// 2147483647 bytes.
class IFStreamImpl : public IFStream {
public:
  /// Opens fileName for reading, with mode (binary, ate, ...) plus input.
  IFStreamImpl(const std::string& fileName, std::ios_base::openmode mode);
  IFStreamImpl(const IFStreamImpl&) = delete;
  IFStreamImpl& operator=(const IFStreamImpl&) = delete;

  /// Refuses a request that, counted modulo 2^32 from the current position,
  /// reaches past the position plus the whole file's length (the refusal
  /// names bytesToRead and size()), and one over 2147483647 bytes; a whole
  /// file longer than that is refused with its true length. A request that
  /// runs into the end of the file raises the load failure.
  std::vector<char> read(int bytesToRead) override;

  /// The low 32 bits of the file's length, as a signed value; a negative
  /// result (a file of 2^31 bytes or more) is also reported as a failed
  /// check.
  int size() override;

  /// True at the end of the file, and once the stream has failed. Finding
  /// the end leaves the stream usable; a failed stream stays failed.
  bool eof() override;

  /// Closes the file; a failed close is ignored.
  ~IFStreamImpl() override;

private:
  /// The file's length (its end offset), the position left unchanged.
  std::streamoff length();

  /// The exception text: errorText, the file name, the working directory,
  /// the system text of the thread's last error code and cppException.
  static std::string buildErrorMessage(const std::string& errorText, const std::string& filename,
                                       const std::string& cppException);

  std::ifstream stream;
  std::string fileName;
};

} // namespace io::file
