#include "platform/com/Variant.h"

#include <gtest/gtest.h>

#include "platform/com/Bstr.h"
#include "platform/com/ScopedVariant.h"

namespace {

using namespace platform::com;

TEST(VariantTest, ClearFreesWhatTheVariantOwnsAndLeavesItEmpty) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(L"text");
  EXPECT_EQ(S_OK, VariantClear(&variant));
  EXPECT_EQ(VT_EMPTY, variant.vt);
  variant.vt = VT_ERROR;
  EXPECT_EQ(S_OK, VariantClear(&variant));
  EXPECT_EQ(VT_EMPTY, variant.vt);

  EXPECT_EQ(E_INVALIDARG, VariantClear(nullptr));
  variant.vt = 99;
  EXPECT_EQ(E_INVALIDARG, VariantClear(&variant));

  // Refilling frees the old string; the leak check of the sanitizer build
  // catches a miss.
  ScopedVariant scoped;
  scoped.setString(SysAllocString(L"first"));
  scoped.setError(E_OUTOFMEMORY);
  EXPECT_EQ(VT_ERROR, scoped.get().vt);
  EXPECT_EQ(E_OUTOFMEMORY, scoped.get().scode);
}

} // namespace
