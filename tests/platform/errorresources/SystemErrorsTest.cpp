#include "platform/errorresources/SystemErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <new>
#include <stdexcept>
#include <vector>

#include "support/PosixOnly.h"
#include "support/RecordingAssertionHandler.h"
#include "support/TestSupport.h"

namespace {

using platform::errorresources::ErrorMapper;
using platform::errorresources::SystemErrors;

const int unknownCode = 100000;

const std::string fixedFailure =
    "An unexpected exception was caught in static std::string SystemErrors::map(int errorCode, "
    "const ErrorMapper* fallbackErrors = 0) throw()\n";

class TableMapper : public ErrorMapper {
public:
  explicit TableMapper(std::map<int, std::string> texts) : texts(std::move(texts)) {}

  std::pair<bool, std::string> lookup(int errorCode) const override {
    asked.push_back(errorCode);
    const auto found = texts.find(errorCode);
    if (found == texts.end()) {
      return {false, "ignored"};
    }
    return {true, found->second};
  }

  std::map<int, std::string> texts;
  mutable std::vector<int> asked;
};

template <typename Thrown>
class ThrowingMapper : public ErrorMapper {
public:
  std::pair<bool, std::string> lookup(int) const override { throw Thrown(); }
};

static_assert(noexcept(SystemErrors::map(0)), "map never throws");

TEST(SystemErrorsTest, PlatformTextIsUsedUnchanged) {
  VEXLOR_POSIX_ONLY("the expected texts are glibc's; Windows has its own");
  EXPECT_EQ("System error message: Success\r\n", SystemErrors::map(0));
  EXPECT_EQ("System error message: No such file or directory\r\n", SystemErrors::map(ENOENT));
}

TEST(SystemErrorsTest, UnknownCodeSaysSoInSignedDecimal) {
  EXPECT_EQ("System error message: The string representation of the error code [100000] was not "
            "found.\r\n",
            SystemErrors::map(unknownCode));
  EXPECT_EQ("System error message: The string representation of the error code [-1] was not "
            "found.\r\n",
            SystemErrors::map(-1));
}

TEST(SystemErrorsTest, MapperIsAskedOnlyWhenThePlatformHasNoText) {
  VEXLOR_POSIX_ONLY("the expected texts are glibc's; Windows has its own");
  TableMapper mapper({{ENOENT, "mapped"}, {unknownCode, "custom text"}});
  EXPECT_EQ("System error message: No such file or directory\r\n",
            SystemErrors::map(ENOENT, &mapper));
  EXPECT_TRUE(mapper.asked.empty());

  EXPECT_EQ("System error message: custom text\r\n", SystemErrors::map(unknownCode, &mapper));
  EXPECT_EQ(std::vector<int>{unknownCode}, mapper.asked);
}

TEST(SystemErrorsTest, MapperFoundWithEmptyTextGivesOnlyTheLineEnd) {
  TableMapper mapper({{unknownCode, ""}});
  EXPECT_EQ("System error message: \r\n", SystemErrors::map(unknownCode, &mapper));
}

TEST(SystemErrorsTest, MapperNotFoundGivesTheNotFoundText) {
  TableMapper mapper({});
  EXPECT_EQ(SystemErrors::map(unknownCode), SystemErrors::map(unknownCode, &mapper));
  EXPECT_EQ(1u, mapper.asked.size());
}

TEST(SystemErrorsTest, ThrowingMapperIsReportedOnceAndAnsweredWithTheFixedText) {
  testsupport::TemporaryCurrentDirectory directory;
  testsupport::CapturedStdout output;
  ThrowingMapper<std::bad_alloc> mapper;
  EXPECT_EQ(fixedFailure, SystemErrors::map(unknownCode, &mapper));

  const std::vector<std::string> lines = testsupport::lines(output.text());
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ("Assertion failed. Message: false", lines[1]);
  EXPECT_EQ("File: source/platform/errorresources/SystemErrors.cpp", lines[2]);
  EXPECT_EQ(output.text(), testsupport::readTextFile("assertion.txt"));
}

TEST(SystemErrorsTest, MapperThrowingAnyTypeIsCaught) {
  testsupport::RecordingAssertionHandler handler;
  ThrowingMapper<int> mapper;
  EXPECT_EQ(fixedFailure, SystemErrors::map(unknownCode, &mapper));
  EXPECT_EQ(1u, handler.reports.size());
}

TEST(SystemErrorsTest, HandlerThrowingWhileReportingStillGetsTheFixedText) {
  class Throwing : public util::AssertionHandler {
  public:
    void handleReport(const std::string&) override { throw std::runtime_error("handler"); }
    std::string contactAddress() override { return ""; }
  } handler;
  util::AssertionHandlerInstaller installer(&handler);
  ThrowingMapper<std::bad_alloc> mapper;
  EXPECT_EQ(fixedFailure, SystemErrors::map(unknownCode, &mapper));
}

} // namespace
