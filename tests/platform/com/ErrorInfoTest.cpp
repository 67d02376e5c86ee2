#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/com/Bstr.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ErrorObject.h"
#include "platform/com/ScopedBstr.h"

namespace {

using namespace platform::com;

/// An error object that counts the live instances of its kind.
class CountedError : public ComObject<IErrorInfo> {
public:
  static inline int live = 0;
  CountedError() { ++live; }
  ~CountedError() override { --live; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return offerInterface(iid, object, IID_IErrorInfo);
  }
  HRESULT GetSource(BSTR*) override { return E_NOTIMPL; }
  HRESULT GetDescription(BSTR*) override { return E_NOTIMPL; }
};

std::wstring takeDescription() {
  ComPtr<IErrorInfo> errorInfo;
  EXPECT_EQ(S_OK, GetErrorInfo(0, errorInfo.address()));
  ScopedBstr text;
  if (errorInfo) {
    errorInfo->GetDescription(text.address());
  }
  return std::wstring(text.get(), SysStringLen(text.get()));
}

class ErrorInfoTest : public testing::Test {
protected:
  void SetUp() override { SetErrorInfo(0, nullptr); }
  void TearDown() override { SetErrorInfo(0, nullptr); }
};

TEST_F(ErrorInfoTest, GetHandsOverThePendingObjectOnce) {
  ErrorObject::raise(std::wstring(L"what\0failed", 11), L"who said so");
  ComPtr<IErrorInfo> errorInfo;
  EXPECT_EQ(S_OK, GetErrorInfo(0, errorInfo.address()));
  ScopedBstr description;
  ScopedBstr source;
  errorInfo->GetDescription(description.address());
  errorInfo->GetSource(source.address());
  EXPECT_EQ(std::wstring(L"what\0failed", 11), std::wstring(description.get(), 11));
  EXPECT_EQ(std::wstring(L"who said so"), source.get());

  IErrorInfo* none = errorInfo.get();
  EXPECT_EQ(S_FALSE, GetErrorInfo(0, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(E_INVALIDARG, GetErrorInfo(1, &none));
  EXPECT_EQ(E_POINTER, GetErrorInfo(0, nullptr));
}

TEST_F(ErrorInfoTest, SetHoldsItsOwnReferenceAndReleasesTheOneItReplaces) {
  auto* first = new CountedError;
  EXPECT_EQ(S_OK, SetErrorInfo(0, first));
  first->Release();
  EXPECT_EQ(1, CountedError::live);
  ErrorObject::raise(L"second", L"");
  EXPECT_EQ(0, CountedError::live);
  EXPECT_EQ(L"second", takeDescription());

  SetErrorInfo(0, ComPtr<IErrorInfo>(new CountedError).get());
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(0, CountedError::live);
}

TEST_F(ErrorInfoTest, PendingObjectsBelongToTheirThreadAndDieWithIt) {
  ErrorObject::raise(L"main thread", L"");
  std::thread([] {
    IErrorInfo* errorInfo = nullptr;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &errorInfo));
    SetErrorInfo(0, ComPtr<IErrorInfo>(new CountedError).get());
  }).join();
  EXPECT_EQ(0, CountedError::live);
  EXPECT_EQ(L"main thread", takeDescription());
}

} // namespace
