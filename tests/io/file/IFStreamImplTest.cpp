#include "io/file/IFStreamImpl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <locale>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/errorresources/SystemErrors.h"
#include "platform/win32/Kernel32.h"
#include "support/PosixOnly.h"
#include "support/RecordingAssertionHandler.h"
#include "support/TestSupport.h"

// Lets a test make the next new[] fail; the stream's buffer is the first
// new[] of an open.
namespace {
bool failNextArrayNew = false;
}

void* operator new[](std::size_t size) {
  if (failNextArrayNew) {
    failNextArrayNew = false;
    throw std::bad_alloc();
  }
  return ::operator new(size);
}

void operator delete[](void* memory) noexcept { ::operator delete(memory); }

void operator delete[](void* memory, std::size_t) noexcept { ::operator delete(memory); }

namespace {

using io::file::IFStreamImpl;
using io::file::IStreamException;
using testsupport::TemporaryCurrentDirectory;

const std::string tenBytes = "0123456789";
const std::string openFailure = "An error occurred when trying to open the file for writing.";
const std::string loadFailure = "An error occurred while trying to load the file.";
const std::string tooLargeRequest =
    "Tried to read a larger number of bytes from a file that it contained. Tried to read : ";
const std::string tooBig =
    "Could not load the file because the file size was too big. The file size is ";

std::string bytes(const std::vector<char>& data) { return std::string(data.begin(), data.end()); }

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string lastLine(const std::string& text) { return text.substr(text.rfind('\n') + 1); }

// The standard stream's own failure text for a failed open and a short read.
std::string streamFailureText(const std::string& fileName, std::streamsize readCount) {
  std::ifstream stream;
  stream.exceptions(std::ios_base::badbit | std::ios_base::failbit | std::ios_base::eofbit);
  try {
    stream.open(fileName, std::ios_base::binary);
    std::vector<char> buffer(static_cast<std::size_t>(readCount));
    stream.read(buffer.data(), readCount);
  } catch (const std::ios_base::failure& failure) {
    return failure.what();
  }
  return "<no failure>";
}

template <typename Operation>
std::string messageOf(Operation operation) {
  try {
    operation();
  } catch (const IStreamException& exception) {
    return exception.message();
  }
  return "<no exception>";
}

TEST(IFStreamImplTest, OpenFailureHasFiveParts) {
  TemporaryCurrentDirectory directory;
  const std::string message =
      messageOf([] { IFStreamImpl stream("missing.bin", std::ios_base::binary); });
  // A missing file is error 2 on both systems (ENOENT, ERROR_FILE_NOT_FOUND).
  EXPECT_EQ(openFailure + "\nFilename: 'missing.bin'\nCurrent Working Directory: " +
                directory.path().string() + platform::win32::DIRECTORY_SEPARATOR + "\n" +
                platform::errorresources::SystemErrors::map(2) + "\nC++ exception: " +
                streamFailureText("missing.bin", 0),
            message);
  EXPECT_EQ(message.find("Success"), std::string::npos);
}

TEST(IFStreamImplTest, FailuresAreIOExceptions) {
  TemporaryCurrentDirectory directory;
  EXPECT_THROW(IFStreamImpl("missing.bin", std::ios_base::binary), io::IOException);
}

TEST(IFStreamImplTest, EmptyFile) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("empty", "");
  EXPECT_EQ(0, IFStreamImpl("empty", std::ios_base::binary).size());
  EXPECT_TRUE(IFStreamImpl("empty", std::ios_base::binary).eof());
  EXPECT_TRUE(IFStreamImpl("empty", std::ios_base::binary).read(0).empty());
}

TEST(IFStreamImplTest, ReadZeroReadsTheWholeFileOnceThenFailsAtTheEnd) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  EXPECT_EQ(tenBytes, bytes(stream.read(0)));

  const std::string message = messageOf([&] { stream.read(0); });
  EXPECT_EQ(loadFailure, firstLine(message));
  EXPECT_EQ("C++ exception: " + streamFailureText("ten", 11), lastLine(message));
}

TEST(IFStreamImplTest, RequestLongerThanTheFileIsRefused) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);

  const std::string message =
      messageOf([] { IFStreamImpl("ten", std::ios_base::binary).read(11); });
  EXPECT_EQ(tooLargeRequest + "11 File size: 10", firstLine(message));
  EXPECT_NE(std::string::npos, message.find("\nFilename: 'ten'\n"));
  EXPECT_EQ("C++ exception: None.", lastLine(message));

  EXPECT_EQ(tooLargeRequest + "-1 File size: 10",
            firstLine(messageOf([] { IFStreamImpl("ten", std::ios_base::binary).read(-1); })));
}

TEST(IFStreamImplTest, RequestIsComparedWithTheWholeLengthNotWhatIsLeft) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  EXPECT_EQ("0123", bytes(stream.read(4)));
  const std::string message = messageOf([&] { stream.read(7); });
  EXPECT_EQ(loadFailure, firstLine(message));
  EXPECT_EQ("C++ exception: " + streamFailureText("ten", 11), lastLine(message));
}

TEST(IFStreamImplTest, NegativeRequestWrapsToATooBigRead) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  stream.read(4);
  const std::string message = messageOf([&] { stream.read(-2); });
  EXPECT_EQ(tooBig + "4294967294. The file cannot be bigger than 2147483647 bytes.",
            firstLine(message));
  EXPECT_EQ("C++ exception: None.", lastLine(message));
  EXPECT_EQ("456", bytes(stream.read(3)));
}

TEST(IFStreamImplTest, SizeAndEofKeepThePosition) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  EXPECT_EQ("012", bytes(stream.read(3)));
  EXPECT_EQ(10, stream.size());
  EXPECT_FALSE(stream.eof());
  EXPECT_EQ("345", bytes(stream.read(3)));
}

TEST(IFStreamImplTest, EofAtTheEndLeavesTheStreamUsable) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  stream.read(10);
  EXPECT_TRUE(stream.eof());
  EXPECT_EQ(10, stream.size());
  EXPECT_TRUE(stream.eof());
}

TEST(IFStreamImplTest, EofAfterAFailedReadStaysTrue) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  stream.read(4);
  EXPECT_EQ(loadFailure, firstLine(messageOf([&] { stream.read(7); })));
  EXPECT_TRUE(stream.eof());
  EXPECT_EQ("An error occurred while trying to get the size of the file.",
            firstLine(messageOf([&] { stream.size(); })));
}

TEST(IFStreamImplTest, OpenModeIsPassedOn) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary | std::ios_base::ate);
  EXPECT_TRUE(stream.eof());
}

TEST(IFStreamImplTest, WorkingDirectoryLineCarriesTheDirectoryFailure) {
  VEXLOR_POSIX_ONLY("Windows refuses to remove a directory that a process has as its current one");
  testsupport::TemporaryDirectory temporary;
  const std::string gone = temporary.file("gone");
  ASSERT_TRUE(std::filesystem::create_directory(gone));
  testsupport::CurrentDirectoryChange change(gone);
  ASSERT_EQ(0, rmdir(gone.c_str()));

  const std::string message =
      messageOf([] { IFStreamImpl stream("missing.bin", std::ios_base::binary); });
  EXPECT_NE(std::string::npos,
            message.find("\nCurrent Working Directory: Couldn't get the current directory. "
                         "Exception: Couldn't get the current directory.\n\n System error "
                         "message: No such file or directory\r\n\nSystem error message: "))
      << message;
}

// A file of the given length with no data blocks, or false when the file
// system refuses one.
bool makeSparseFile(const std::string& name, std::uintmax_t length) {
  testsupport::writeFile(name, "");
  std::error_code error;
  std::filesystem::resize_file(name, length, error);
  return !error;
}

TEST(IFStreamImplTest, FileOverTwoGigabytesIsReportedAndRefused) {
  TemporaryCurrentDirectory directory;
  const std::uintmax_t length = 2147483648u + 10u;
  if (!makeSparseFile("big", length)) {
    GTEST_SKIP() << "the file system refuses a sparse file of " << length << " bytes";
  }
  testsupport::RecordingAssertionHandler handler;
  IFStreamImpl stream("big", std::ios_base::binary);
  EXPECT_EQ(-2147483638, stream.size());
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("sz >= 0", handler.condition(0));
  EXPECT_EQ("source/io/file/IFStreamImpl.cpp", handler.file(0));

  EXPECT_EQ(tooBig + "2147483658. The file cannot be bigger than 2147483647 bytes.",
            firstLine(messageOf([&] { stream.read(0); })));
  ASSERT_EQ(2u, handler.reports.size());
  EXPECT_EQ("sz >= 0", handler.condition(1));
}

TEST(IFStreamImplTest, WholeFileOfFourGigabytesOrMoreIsRefusedWithItsTrueLength) {
  TemporaryCurrentDirectory directory;
  const std::uintmax_t length = 4294967296u + 10u;
  if (!makeSparseFile("huge", length)) {
    GTEST_SKIP() << "the file system refuses a sparse file of " << length << " bytes";
  }
  IFStreamImpl stream("huge", std::ios_base::binary);
  EXPECT_EQ(tooBig + "4294967306. The file cannot be bigger than 2147483647 bytes.",
            firstLine(messageOf([&] { stream.read(0); })));
  EXPECT_EQ(std::string(5, '\0'), bytes(stream.read(5)));
}

TEST(IFStreamImplTest, OtherExceptionWhileOpeningIsReportedAndPassedOn) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  testsupport::RecordingAssertionHandler handler;
  failNextArrayNew = true;
  EXPECT_THROW(IFStreamImpl("ten", std::ios_base::binary), std::bad_alloc);
  EXPECT_FALSE(failNextArrayNew);
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("false", handler.condition(0));
  EXPECT_EQ("source/io/file/IFStreamImpl.cpp", handler.file(0));
}

TEST(IFStreamImplTest, NoMemoryForTheBufferPassesOnUnreported) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  IFStreamImpl stream("ten", std::ios_base::binary);
  testsupport::RecordingAssertionHandler handler;
  failNextArrayNew = true;
  EXPECT_THROW(stream.read(4), std::bad_alloc);
  EXPECT_FALSE(failNextArrayNew);
  EXPECT_TRUE(handler.reports.empty());
  EXPECT_EQ("0123", bytes(stream.read(4)));
}

struct InjectedFailure {};

// A pass-through conversion that throws on demand, so the stream's read and
// tell run into an exception that is not a stream failure.
class FailingCodecvt : public std::codecvt<char, char, std::mbstate_t> {
public:
  bool failIn = false;
  bool failLength = false;

protected:
  bool do_always_noconv() const noexcept override { return false; }

  result do_in(state_type&, const char* from, const char* fromEnd, const char*& fromNext, char* to,
               char* toEnd, char*& toNext) const override {
    if (failIn) {
      throw InjectedFailure();
    }
    const std::size_t count = std::min<std::size_t>(fromEnd - from, toEnd - to);
    std::memcpy(to, from, count);
    fromNext = from + count;
    toNext = to + count;
    return ok;
  }

  int do_length(state_type&, const char* from, const char* end, std::size_t max) const override {
    if (failLength) {
      throw InjectedFailure();
    }
    return static_cast<int>(std::min<std::size_t>(end - from, max));
  }
};

// Opens a stream whose file buffer converts through codecvt, which the
// locale owns.
std::unique_ptr<IFStreamImpl> openWith(FailingCodecvt* codecvt, const std::string& name) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), codecvt));
  std::unique_ptr<IFStreamImpl> stream;
  try {
    stream = std::make_unique<IFStreamImpl>(name, std::ios_base::binary);
  } catch (...) {
    std::locale::global(previous);
    throw;
  }
  std::locale::global(previous);
  return stream;
}

TEST(IFStreamImplTest, OtherExceptionWhileReadingIsReportedAndPassedOn) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  FailingCodecvt* codecvt = new FailingCodecvt;
  std::unique_ptr<IFStreamImpl> stream = openWith(codecvt, "ten");
  testsupport::RecordingAssertionHandler handler;
  codecvt->failIn = true;
  EXPECT_THROW(stream->read(4), InjectedFailure);
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("false", handler.condition(0));
}

TEST(IFStreamImplTest, OtherExceptionWhileMeasuringIsReportedAndPassedOn) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("ten", tenBytes);
  FailingCodecvt* codecvt = new FailingCodecvt;
  std::unique_ptr<IFStreamImpl> stream = openWith(codecvt, "ten");
  EXPECT_EQ("012", bytes(stream->read(3)));
  testsupport::RecordingAssertionHandler handler;
  codecvt->failLength = true;
  EXPECT_THROW(stream->size(), InjectedFailure);
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("false", handler.condition(0));
}

} // namespace
