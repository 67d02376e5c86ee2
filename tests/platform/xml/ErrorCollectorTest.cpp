#include "platform/xml/ErrorCollector.h"

#include <gtest/gtest.h>

namespace platform::xml {
namespace {

ValidationError at(int line, const std::string& message) { return {"doc.xml", line, 1, message}; }

TEST(ErrorCollectorTest, KeepsTheFirstProblemsAndCountsThemAll) {
  ErrorCollector errors(3);
  for (int line = 1; line <= 10; ++line) {
    errors.add(at(line, "fault"));
  }
  EXPECT_EQ(10u, errors.count());
  ASSERT_EQ(3u, errors.kept().size());
  EXPECT_EQ(1, errors.kept().front().line);
  EXPECT_EQ(3, errors.kept().back().line);
}

TEST(ErrorCollectorTest, ARepeatOfTheLastProblemCountsOnce) {
  ErrorCollector errors;
  errors.add(at(4, "same"));
  errors.add(at(4, "same"));
  errors.add(at(4, "other"));
  errors.add(at(4, "same")); // not adjacent to its twin: a new report
  EXPECT_EQ(3u, errors.count());
  EXPECT_EQ(3u, errors.kept().size());
}

TEST(ErrorCollectorTest, FormatsLocationLineColumnAndMessage) {
  EXPECT_EQ("a/b.xml:3:18: bad value", (ValidationError{"a/b.xml", 3, 18, "bad value"}).toString());
  ErrorCollector errors;
  EXPECT_TRUE(errors.empty());
}

} // namespace
} // namespace platform::xml
