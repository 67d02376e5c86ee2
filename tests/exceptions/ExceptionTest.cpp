#include "exceptions/Exception.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "io/file/IStreamException.h"
#include "util/StringHelperException.h"
#include "windows/file/CurrentDirectoryException.h"

namespace {

TEST(ExceptionTest, StreamWritesExactlyTheMessage) {
  std::ostringstream out;
  out << util::StringHelperException("line one\nline two");
  EXPECT_EQ("line one\nline two", out.str());

  std::ostringstream empty;
  empty << io::file::IStreamException("");
  EXPECT_EQ("", empty.str());
}

TEST(ExceptionTest, StreamHonoursWidthAndFillThenResetsWidth) {
  std::ostringstream out;
  out << std::setw(10) << std::setfill('*') << windows::file::CurrentDirectoryException("abc");
  EXPECT_EQ("*******abc", out.str());
  EXPECT_EQ(0, out.width());
}

TEST(ExceptionTest, MessageIsACopyOfTheConstructorText) {
  auto text = std::make_unique<std::string>("original");
  io::file::IStreamException exception(*text);
  *text = "changed";
  text.reset();
  EXPECT_EQ("original", exception.message());

  io::file::IStreamException copy(exception);
  EXPECT_EQ("original", copy.message());
}

template <typename Handler, typename Thrown>
bool caughtAs(const Thrown& thrown) {
  try {
    throw thrown;
  } catch (const Handler&) {
    return true;
  } catch (...) {
    return false;
  }
}

TEST(ExceptionTest, FamilyBranchesCatchTheirMembersOnly) {
  windows::file::GetCurrentDirectoryException get("g");
  windows::file::SetCurrentDirectoryException set("s");
  io::file::IStreamException stream("i");
  util::StringHelperException helper("h");

  EXPECT_TRUE(caughtAs<windows::file::CurrentDirectoryException>(get));
  EXPECT_TRUE(caughtAs<windows::file::CurrentDirectoryException>(set));
  EXPECT_TRUE(caughtAs<exceptions::Exception>(get));
  EXPECT_TRUE(caughtAs<io::IOException>(stream));
  EXPECT_TRUE(caughtAs<exceptions::Exception>(stream));
  EXPECT_TRUE(caughtAs<exceptions::Exception>(helper));
  EXPECT_FALSE(caughtAs<io::IOException>(helper));

  EXPECT_FALSE(caughtAs<std::exception>(get));
  EXPECT_FALSE(caughtAs<std::exception>(stream));
  EXPECT_FALSE(caughtAs<std::exception>(helper));
}

TEST(ExceptionTest, CaughtByReferenceKeepsTheConcreteText) {
  try {
    throw windows::file::SetCurrentDirectoryException("set failed");
  } catch (const exceptions::Exception& caught) {
    EXPECT_EQ("set failed", caught.message());
  }
}

} // namespace
