#include "util/StringHelper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/RecordingAssertionHandler.h"

namespace {

using namespace std::string_literals;
using util::StringHelper;
using Pieces = std::vector<std::string>;

// Reaches the protected case-change core.
struct CaseProbe : StringHelper {
  using StringHelper::changeCase;
};

TEST(StringHelperTest, ConversionsMapLatin1BytesBothWays) {
  EXPECT_EQ("caf\xE9", StringHelper::toNarrow(L"caf\u00E9"));
  EXPECT_EQ(L"caf\u00E9", StringHelper::toWide("caf\xE9"));
  EXPECT_EQ("", StringHelper::toNarrow(L""));
  EXPECT_EQ(L"", StringHelper::toWide(""));
  EXPECT_EQ("ab", StringHelper::toNarrow(L"ab\0cd"s));
  EXPECT_EQ(L"ab", StringHelper::toWide("ab\0cd"s));
}

TEST(StringHelperTest, NarrowingAUnitAbove255Fails) {
  try {
    StringHelper::toNarrow(L"price \u20AC");
    FAIL() << "no exception";
  } catch (const util::StringHelperException& exception) {
    EXPECT_EQ("Could convert the wide string to a normal string.", exception.message());
  }
}

TEST(StringHelperTest, CaseChangeTouchesAsciiLettersOnly) {
  EXPECT_EQ("ABC", StringHelper::toUpper("abc"));
  EXPECT_EQ("\xC4" "bc", StringHelper::toLower("\xC4" "BC"));
  EXPECT_EQ("MIXED 1-2_\xE4", StringHelper::toUpper("MiXeD 1-2_\xE4"));
  EXPECT_EQ("", StringHelper::toLower(""));
}

TEST(StringHelperTest, CaseChangeStopsAtNul) {
  testsupport::RecordingAssertionHandler handler;
  EXPECT_EQ("ab", StringHelper::toLower("AB\0C"s));
  EXPECT_EQ("AB", StringHelper::toUpper("ab\0c"s));
  EXPECT_TRUE(handler.reports.empty());
}

TEST(StringHelperTest, UnknownCaseModeIsReportedAndLeavesTheCopy) {
  testsupport::RecordingAssertionHandler handler;
  EXPECT_EQ("MiXeD", CaseProbe::changeCase("MiXeD", 2));
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("false", handler.condition(0));
  EXPECT_EQ("source/util/StringHelper.cpp", handler.file(0));
}

TEST(StringHelperTest, ReplaceAllNeverRescansTheReplacement) {
  std::string text = "aaa";
  EXPECT_EQ(3, StringHelper::replaceAll(text, "a", "aa"));
  EXPECT_EQ("aaaaaa", text);

  text = "one two one";
  EXPECT_EQ(2, StringHelper::replaceAll(text, "one", ""));
  EXPECT_EQ(" two ", text);

  text = "unchanged";
  EXPECT_EQ(0, StringHelper::replaceAll(text, "x", "y"));
  EXPECT_EQ("unchanged", text);
}

TEST(StringHelperTest, ReplaceAllWithEmptySearchChangesNothing) {
  std::string text = "abc";
  EXPECT_EQ(0, StringHelper::replaceAll(text, "", "x"));
  EXPECT_EQ("abc", text);
}

TEST(StringHelperTest, ReplaceAllReportsNulButStillReplaces) {
  testsupport::RecordingAssertionHandler handler;
  std::string text = "a\0a"s;
  EXPECT_EQ(2, StringHelper::replaceAll(text, "a", "b"));
  EXPECT_EQ("b\0b"s, text);
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("find(replaceIn.begin(), replaceIn.end(), '\\0') == replaceIn.end()",
            handler.condition(0));
  EXPECT_EQ("source/util/StringHelper.cpp", handler.file(0));
}

TEST(StringHelperTest, CountOccurrencesDoesNotOverlap) {
  EXPECT_EQ(2, StringHelper::countOccurrences("aaaa", "aa"));
  EXPECT_EQ(1, StringHelper::countOccurrences("aaa", "aa"));
  EXPECT_EQ(0, StringHelper::countOccurrences("abc", ""));
  EXPECT_EQ(0, StringHelper::countOccurrences("", "a"));
  EXPECT_EQ(2, StringHelper::countOccurrences("x\0y\0"s, "\0"s));
}

TEST(StringHelperTest, FindIgnoreCase) {
  EXPECT_EQ(6u, StringHelper::findIgnoreCase("Hello World", "WORLD"));
  EXPECT_EQ(0u, StringHelper::findIgnoreCase("Hello", ""));
  EXPECT_EQ(std::string::npos, StringHelper::findIgnoreCase("Hello World", "planet"));
}

TEST(StringHelperTest, EndsWith) {
  EXPECT_TRUE(StringHelper::endsWith("abc", ""));
  EXPECT_TRUE(StringHelper::endsWith("", ""));
  EXPECT_FALSE(StringHelper::endsWith("c", "abc"));
  EXPECT_TRUE(StringHelper::endsWith("abc", "bc"));
  EXPECT_TRUE(StringHelper::endsWith("abc", "abc"));
  EXPECT_FALSE(StringHelper::endsWith("abc", "Bc"));
  EXPECT_TRUE(StringHelper::endsWith("a\0b"s, "\0b"s));
}

TEST(StringHelperTest, TrimLeftRemovesLeadingSetCharactersOnly) {
  std::string text = "  x ";
  StringHelper::trimLeft(text, " ");
  EXPECT_EQ("x ", text);

  text = "\t \tvalue";
  StringHelper::trimLeft(text, " \t");
  EXPECT_EQ("value", text);

  text = "kept";
  StringHelper::trimLeft(text, "");
  EXPECT_EQ("kept", text);
}

TEST(StringHelperTest, TrimLeftEmptiesATextMadeOnlyOfSetCharacters) {
  std::string text = " \t ";
  StringHelper::trimLeft(text, "\t ");
  EXPECT_EQ("", text);

  text = "";
  StringHelper::trimLeft(text, " ");
  EXPECT_EQ("", text);
}

TEST(StringHelperTest, LineNumberCountsLineFeedsBeforeThePosition) {
  const std::string text = "one\r\ntwo\nthree";
  EXPECT_EQ(1, StringHelper::lineNumberAt(text, text.begin()));
  EXPECT_EQ(1, StringHelper::lineNumberAt(text, text.begin() + 4));  // the '\n' itself
  EXPECT_EQ(2, StringHelper::lineNumberAt(text, text.begin() + 5));
  EXPECT_EQ(3, StringHelper::lineNumberAt(text, text.begin() + 9));
  EXPECT_EQ(3, StringHelper::lineNumberAt(text, text.end()));
  const std::string carriageReturns = "a\rb\rc";
  EXPECT_EQ(1, StringHelper::lineNumberAt(carriageReturns, carriageReturns.end()));
}

TEST(StringHelperTest, RandomStringStaysInItsCodeRange) {
  std::srand(1);
  EXPECT_EQ("", StringHelper::randomString(0, false));

  const std::string withoutNul = StringHelper::randomString(5000, false);
  ASSERT_EQ(5000u, withoutNul.size());
  for (const char c : withoutNul) {
    ASSERT_GE(c, 1);
    ASSERT_LE(c, 126);
  }

  const std::string withNul = StringHelper::randomString(5000, true);
  ASSERT_EQ(5000u, withNul.size());
  bool sawNul = false;
  for (const char c : withNul) {
    ASSERT_GE(c, 0);
    ASSERT_LE(c, 126);
    sawNul = sawNul || c == 0;
  }
  EXPECT_TRUE(sawNul);
}

TEST(StringHelperTest, SplitGivesThePiecesBetweenDelimiters) {
  EXPECT_EQ((Pieces{"a", "b", "c"}), StringHelper::split("a,b,c", ","));
  EXPECT_EQ((Pieces{"", "a", "", "b", ""}), StringHelper::split(",a,,b,", ","));
  EXPECT_EQ((Pieces{"key", "value=x"}), StringHelper::split("key::value=x", "::"));
  EXPECT_EQ((Pieces{"", "a"}), StringHelper::split("aaa", "aa"));
  EXPECT_EQ((Pieces{"whole"}), StringHelper::split("whole", ";"));
  EXPECT_EQ((Pieces{""}), StringHelper::split("", ";"));
  EXPECT_TRUE(StringHelper::split("a,b", "").empty());
}

} // namespace
