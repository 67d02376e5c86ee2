#include "util/Assertion.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using testsupport::CapturedStdout;
using testsupport::TemporaryCurrentDirectory;

const std::string frame(40, '-');

class Handler : public util::AssertionHandler {
public:
  explicit Handler(std::string contact) : contact(std::move(contact)) {}
  void handleReport(const std::string& report) override { reports.push_back(report); }
  std::string contactAddress() override { return contact; }

  std::string contact;
  std::vector<std::string> reports;
};

std::string stampNow() {
  const std::time_t now = std::time(nullptr);
  // The tests run on one thread: std::localtime's shared result is safe here.
  return util::assertionTimeStamp(*std::localtime(&now));
}

// "Www Mmm DD hh:mm:ss YYYY" with English names and every number in full.
bool wellFormedStamp(const std::string& stamp) {
  const std::string weekdays = "Sun Mon Tue Wed Thu Fri Sat";
  const std::string months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec";
  const std::string shape = "aaa aaa 99 99:99:99 9999";
  if (stamp.size() != shape.size()) {
    return false;
  }
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(stamp[i])) != 0;
    if ((shape[i] == '9') != digit || (shape[i] != '9' && shape[i] != 'a' && stamp[i] != shape[i])) {
      return false;
    }
  }
  return weekdays.find(stamp.substr(0, 3)) % 4 == 0 && months.find(stamp.substr(4, 3)) % 4 == 0;
}

TEST(AssertionTest, ReportIsNineFramedLinesWithTheCheckAndItsTime) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  const std::string before = stampNow();
  util::assertionFailed("size > 0", "source/util/memory/Memory.cpp", 50);
  const std::string after = stampNow();

  const std::vector<std::string> lines = testsupport::lines(output.text());
  ASSERT_EQ(9u, lines.size()) << output.text();
  EXPECT_EQ('\n', output.text().back());
  EXPECT_EQ(frame, lines[0]);
  EXPECT_EQ("Assertion failed. Message: size > 0", lines[1]);
  EXPECT_EQ("File: source/util/memory/Memory.cpp", lines[2]);
  EXPECT_EQ("Line: 50", lines[3]);
  const std::string stamp = lines[4].substr(std::string("Occurred: ").size());
  EXPECT_EQ(0u, lines[4].find("Occurred: "));
  EXPECT_TRUE(stamp == before || stamp == after) << stamp;
  EXPECT_TRUE(wellFormedStamp(stamp)) << stamp;
  EXPECT_EQ("", lines[5]);
  EXPECT_EQ(std::string("Please contact ") + util::defaultAssertionContact +
                " and include this message.",
            lines[6]);
  EXPECT_EQ("Thank you for helping us improve the software.", lines[7]);
  EXPECT_EQ(frame, lines[8]);
}

TEST(AssertionTest, TimeStampHasTwoDigitDayAndTwentyFourCharacters) {
  std::tm time{};
  time.tm_year = 2026 - 1900;
  time.tm_mon = 11;
  time.tm_mday = 7;
  time.tm_wday = 1;
  time.tm_hour = 5;
  time.tm_min = 3;
  time.tm_sec = 9;
  EXPECT_EQ("Mon Dec 07 05:03:09 2026", util::assertionTimeStamp(time));

  time.tm_mon = 0;
  time.tm_mday = 31;
  time.tm_wday = 6;
  time.tm_hour = 23;
  EXPECT_EQ("Sat Jan 31 23:03:09 2026", util::assertionTimeStamp(time));
}

TEST(AssertionTest, ReportsAccumulateInAssertionFileAfterEarlierContent) {
  TemporaryCurrentDirectory directory;
  testsupport::writeFile("assertion.txt", "earlier content\n");
  CapturedStdout output;
  util::assertionFailed("first", "a.cpp", 1);
  util::assertionFailed("second", "b.cpp", 2);

  const std::string printed = output.text();
  EXPECT_EQ("earlier content\n" + printed, testsupport::readTextFile("assertion.txt"));
  const std::vector<std::string> lines = testsupport::lines(printed);
  ASSERT_EQ(18u, lines.size());
  EXPECT_EQ("Assertion failed. Message: first", lines[1]);
  EXPECT_EQ("Assertion failed. Message: second", lines[10]);
}

TEST(AssertionTest, HoldingCheckWritesNothing) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  int evaluations = 0;
  ASSERTION(++evaluations == 1);
  EXPECT_EQ(1, evaluations);
  EXPECT_EQ("", output.text());
  EXPECT_FALSE(std::filesystem::exists("assertion.txt"));
}

TEST(AssertionTest, FailedCheckReportsItsSourceTextFileAndLineThenCarriesOn) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  bool carriedOn = false;
  const unsigned int line = __LINE__ + 1;
  ASSERTION(false);
  carriedOn = true;
  EXPECT_TRUE(carriedOn);

  const std::vector<std::string> lines = testsupport::lines(output.text());
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ("Assertion failed. Message: false", lines[1]);
  EXPECT_EQ("File: tests/util/AssertionTest.cpp", lines[2]);
  EXPECT_EQ("Line: " + std::to_string(line), lines[3]);
}

TEST(AssertionTest, LineIsPrintedUnsigned) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  util::assertionFailed("x", "f", 0);
  util::assertionFailed("x", "f", 4294967295u);
  const std::vector<std::string> lines = testsupport::lines(output.text());
  ASSERT_EQ(18u, lines.size());
  EXPECT_EQ("Line: 0", lines[3]);
  EXPECT_EQ("Line: 4294967295", lines[12]);
}

TEST(AssertionTest, HandlerReplacesBothDestinationsAndNamesItsContact) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  Handler handler("help@example.org");
  {
    util::AssertionHandlerInstaller installer(&handler);
    util::assertionFailed("condition", "file.cpp", 7);
  }
  EXPECT_EQ("", output.text());
  EXPECT_FALSE(std::filesystem::exists("assertion.txt"));
  ASSERT_EQ(1u, handler.reports.size());
  const std::vector<std::string> lines = testsupport::lines(handler.reports[0]);
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ("Assertion failed. Message: condition", lines[1]);
  EXPECT_EQ("Please contact help@example.org and include this message.", lines[6]);
}

TEST(AssertionTest, EmptyContactLeavesTwoBlanks) {
  Handler handler("");
  util::AssertionHandlerInstaller installer(&handler);
  util::assertionFailed("condition", "file.cpp", 7);
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("Please contact  and include this message.", testsupport::lines(handler.reports[0])[6]);
}

TEST(AssertionTest, InstallersDoNotStack) {
  TemporaryCurrentDirectory directory;
  CapturedStdout output;
  Handler first("first");
  Handler second("second");
  util::AssertionHandlerInstaller outer(&first);
  {
    util::AssertionHandlerInstaller inner(&second);
    util::assertionFailed("inner", "f", 1);
  }
  // The earlier installer still exists, but its handler is not restored.
  util::assertionFailed("after", "f", 2);

  EXPECT_TRUE(first.reports.empty());
  EXPECT_EQ(1u, second.reports.size());
  EXPECT_NE(std::string::npos, output.text().find("Assertion failed. Message: after\n"));
  EXPECT_TRUE(std::filesystem::exists("assertion.txt"));
}

TEST(AssertionTest, HandlerExceptionReachesTheCheckSite) {
  class Throwing : public Handler {
  public:
    Throwing() : Handler("x") {}
    void handleReport(const std::string&) override { throw std::runtime_error("handler"); }
  } handler;
  util::AssertionHandlerInstaller installer(&handler);
  EXPECT_THROW(util::assertionFailed("c", "f", 1), std::runtime_error);
}

TEST(AssertionTest, UnopenableFileStillReportsOnStandardOutput) {
  TemporaryCurrentDirectory directory;
  // A directory in the file's place cannot be opened for writing, even by root.
  std::filesystem::create_directory("assertion.txt");
  CapturedStdout output;
  ASSERTION(1 == 2);
  EXPECT_EQ(9u, testsupport::lines(output.text()).size());
  EXPECT_TRUE(std::filesystem::is_directory("assertion.txt"));
}

} // namespace
