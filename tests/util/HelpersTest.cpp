#include "util/Helpers.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/RecordingAssertionHandler.h"

namespace {

TEST(HelpersTest, ToStringIsSignedDecimal) {
  EXPECT_EQ("0", util::toString(0));
  EXPECT_EQ("-1", util::toString(-1));
  EXPECT_EQ("2147483647", util::toString(INT_MAX));
  EXPECT_EQ("-2147483648", util::toString(INT_MIN));
}

TEST(HelpersTest, ToStringFollowsTheFormat) {
  EXPECT_EQ("[0042]", util::toString(42, "[%04d]"));
  EXPECT_EQ("ff", util::toString(255, "%x"));
}

TEST(HelpersTest, NullFormatIsReportedAndGivesEmptyText) {
  testsupport::RecordingAssertionHandler handler;
  EXPECT_EQ("", util::toString(1, nullptr));
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("format", handler.condition(0));
  EXPECT_EQ("source/util/Helpers.cpp", handler.file(0));
}

} // namespace
