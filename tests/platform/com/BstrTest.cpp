#include "platform/com/Bstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/com/ScopedBstr.h"

namespace {

using namespace platform::com;

TEST(BstrTest, CopyIsByteLengthPrefixedNulTerminatedAndMayHoldNuls) {
  const OLECHAR text[] = {L'a', L'\0', L'b'};
  ScopedBstr counted(SysAllocStringLen(text, 3));
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(counted.get()) - 4, 4);
  EXPECT_EQ(3u * sizeof(OLECHAR), prefix);
  EXPECT_EQ(3u, SysStringLen(counted.get()));
  EXPECT_EQ(std::wstring(L"a\0b\0", 4), std::wstring(counted.get(), 4));

  ScopedBstr cut(SysAllocString(text));
  EXPECT_EQ(1u, SysStringLen(cut.get()));
}

TEST(BstrTest, NullIsTheEmptyString) {
  EXPECT_EQ(0u, SysStringLen(nullptr));
  SysFreeString(nullptr);
  EXPECT_EQ(nullptr, SysAllocString(nullptr));
  ScopedBstr empty(SysAllocString(L""));
  ASSERT_NE(nullptr, empty.get());
  EXPECT_EQ(0u, SysStringLen(empty.get()));
  ScopedBstr zeroed(SysAllocStringLen(nullptr, 2));
  EXPECT_EQ(std::wstring(3, L'\0'), std::wstring(zeroed.get(), 3));
}

TEST(BstrTest, LengthWhoseByteCountOverflowsThePrefixIsRefused) {
  EXPECT_EQ(nullptr, SysAllocStringLen(nullptr, UINT_MAX));
  EXPECT_EQ(nullptr, SysAllocStringLen(L"x", UINT_MAX / sizeof(OLECHAR) + 1));
}

} // namespace
