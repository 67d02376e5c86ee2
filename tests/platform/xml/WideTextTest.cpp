#include "platform/xml/WideText.h"

#include <gtest/gtest.h>

#include "platform/com/Bstr.h"
#include "platform/com/ScopedBstr.h"

namespace platform::xml {
namespace {

TEST(WideTextTest, EveryByteSurvivesTheRoundTrip) {
  std::string bytes;
  for (int value = 0; value < 256; ++value) {
    bytes.push_back(static_cast<char>(value));
  }
  const std::wstring wide = widen(bytes);
  ASSERT_EQ(256u, wide.size());
  EXPECT_EQ(L'\xE9', wide[0xE9]);
  EXPECT_EQ(bytes, narrow(wide.data(), wide.size()));
}

TEST(WideTextTest, RealUtf16BecomesUtf8) {
  const std::wstring euro = {L'x', 0x20AC, 0xD83D, 0xDE00};
  EXPECT_EQ("x\xE2\x82\xAC\xF0\x9F\x98\x80", narrow(euro.data(), euro.size()));
}

TEST(WideTextTest, BstrKeepsEmbeddedNulsAndUtf8Bytes) {
  const std::string text("caf\xC3\xA9\0!", 7);
  com::ScopedBstr bstr(allocateBstr(text));
  ASSERT_NE(nullptr, bstr.get());
  EXPECT_EQ(7u, com::SysStringLen(bstr.get()));
  EXPECT_EQ(text, narrow(bstr.get(), com::SysStringLen(bstr.get())));
}

} // namespace
} // namespace platform::xml
