#include "io/file/IFStreamImpl.h"

#include <cstdint>

#include "platform/errorresources/SystemErrors.h"
#include "platform/win32/Kernel32.h"
#include "util/Assertion.h"
#include "util/memory/Memory.h"
#include "windows/file/CurrentDirectoryImpl.h"

namespace io::file {

namespace {

const char openFailure[] = "An error occurred when trying to open the file for writing.";
const char sizeFailure[] = "An error occurred while trying to get the size of the file.";
const char loadFailure[] = "An error occurred while trying to load the file.";
const char noException[] = "None.";

const std::uint32_t largestRead = 2147483647;

// Positions and sizes count in 32 bits: the low 32 bits of the offset.
std::uint32_t low32(std::streamoff offset) { return static_cast<std::uint32_t>(offset); }

} // namespace

IFStreamImpl::IFStreamImpl(const std::string& fileName, std::ios_base::openmode mode)
    : stream(), fileName(fileName) {
  // The open's error code is taken before anything is thrown: on Windows
  // throwing and catching an exception resets the thread's last error.
  platform::win32::DWORD openError = 0;
  try {
    stream.open(fileName, mode | std::ios_base::in);
    openError = platform::win32::GetLastError();
    stream.exceptions(std::ios_base::badbit | std::ios_base::failbit | std::ios_base::eofbit);
  } catch (const std::ios_base::failure& failure) {
    platform::win32::SetLastError(openError);
    throw IStreamException(buildErrorMessage(openFailure, fileName, failure.what()));
  } catch (...) {
    ASSERTION(false);
    throw;
  }
}

IFStreamImpl::~IFStreamImpl() {
  // With the mask cleared a failed close only sets the stream's state, so
  // nothing can leave the destructor; an input file loses nothing by it.
  stream.exceptions(std::ios_base::goodbit);
  stream.close();
}

std::streamoff IFStreamImpl::length() {
  const std::streampos position = stream.tellg();
  stream.seekg(0, std::ios_base::end);
  const std::streamoff end = stream.tellg();
  stream.seekg(position);
  return end;
}

int IFStreamImpl::size() {
  try {
    const std::int32_t sz = static_cast<std::int32_t>(low32(length()));
    ASSERTION(sz >= 0);
    return sz;
  } catch (const std::ios_base::failure& failure) {
    throw IStreamException(buildErrorMessage(sizeFailure, fileName, failure.what()));
  } catch (...) {
    ASSERTION(false);
    throw;
  }
}

bool IFStreamImpl::eof() {
  // peek raises at once on a stream that has already failed; only a peek
  // that finds the end on a good stream reaches the catch with the state
  // eofbit alone. That state is this query's own doing, so it is undone: an
  // answer must not break the next size() or read().
  const bool wasGood = stream.good();
  try {
    stream.peek();
  } catch (const std::ios_base::failure&) {
    if (wasGood && stream.rdstate() == std::ios_base::eofbit) {
      stream.clear();
    }
    return true;
  }
  return false;
}

std::vector<char> IFStreamImpl::read(int bytesToRead) {
  const std::uint32_t fileSize = static_cast<std::uint32_t>(size());
  std::uint32_t currentPosition = 0;
  std::uint64_t n = fileSize;
  try {
    currentPosition = low32(stream.tellg());
    // A whole file of 2^32 bytes or more has a wrapped 32-bit size; its true
    // length decides, so it is refused rather than read in part.
    if (bytesToRead == 0) {
      n = static_cast<std::uint64_t>(length());
    }
  } catch (const std::ios_base::failure& failure) {
    throw IStreamException(buildErrorMessage(sizeFailure, fileName, failure.what()));
  }
  const std::uint32_t lastPostion = currentPosition + fileSize;

  // Both sides add currentPosition, so this compares the request with the
  // whole file's length, modulo 2^32: a negative count is a huge request.
  if (currentPosition + static_cast<std::uint32_t>(bytesToRead) > lastPostion) {
    throw IStreamException(buildErrorMessage(
        "Tried to read a larger number of bytes from a file that it contained. Tried to read : " +
            std::to_string(bytesToRead) + " File size: " + std::to_string(fileSize),
        fileName, noException));
  }
  ASSERTION(currentPosition + bytesToRead <= lastPostion);

  if (bytesToRead != 0) {
    n = static_cast<std::uint32_t>(bytesToRead);
  }
  if (n > largestRead) {
    throw IStreamException(buildErrorMessage(
        "Could not load the file because the file size was too big. The file size is " +
            std::to_string(n) + ". The file cannot be bigger than " +
            std::to_string(largestRead) + " bytes.",
        fileName, noException));
  }

  util::ScopedArray<char> buffer(new char[n]);
  try {
    stream.read(buffer.get(), static_cast<std::streamsize>(n));
  } catch (const std::ios_base::failure& failure) {
    throw IStreamException(buildErrorMessage(loadFailure, fileName, failure.what()));
  } catch (...) {
    ASSERTION(false);
    throw;
  }
  return std::vector<char>(buffer.get(), buffer.get() + n);
}

std::string IFStreamImpl::buildErrorMessage(const std::string& errorText,
                                            const std::string& filename,
                                            const std::string& cppException) {
  // First, before any other call can change it.
  const platform::win32::DWORD errorCode = platform::win32::GetLastError();
  const std::string systemText =
      platform::errorresources::SystemErrors::map(static_cast<int>(errorCode));

  std::string directory;
  try {
    windows::file::CurrentDirectoryImpl currentDirectory;
    directory = currentDirectory.getDirectory();
  } catch (const windows::file::CurrentDirectoryException& exception) {
    directory = "Couldn't get the current directory. Exception: " + exception.message();
  }

  return errorText + "\nFilename: '" + filename + "'" + "\nCurrent Working Directory: " +
         directory + "\n" + systemText + "\nC++ exception: " + cppException;
}

} // namespace io::file
