#include "validator/ComErrorText.h"

#include <gtest/gtest.h>

#include "platform/com/ErrorInfo.h"
#include "validator/StandInError.h"

namespace {

using testsupport::StandInError;
using Info = std::pair<bool, std::wstring>;

// The texts themselves are pinned through the run's reports; here the found
// flag and the taking of the object.
TEST(ComErrorTextTest, EachPendingObjectIsFoundOnceAndReleased) {
  platform::com::SetErrorInfo(0, nullptr);
  StandInError::raise(L"ends in a break\n", L"Component");
  EXPECT_EQ(Info(true, L"COM Exception, Description: ends in a break\n Source: 'Component"),
            getComErrorInfo());
  EXPECT_EQ(Info(false, L""), getComErrorInfo());

  StandInError::raise(std::nullopt, L"Component");
  EXPECT_EQ(Info(true, L""), getComErrorInfo());
  StandInError::raise(L"description", std::nullopt);
  EXPECT_EQ(Info(true, L""), getComErrorInfo());
  EXPECT_EQ(0, StandInError::live);
}

} // namespace
