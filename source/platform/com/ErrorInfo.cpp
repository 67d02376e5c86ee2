#include "platform/com/ErrorInfo.h"

#include "platform/com/ComPtr.h"

namespace platform::com {

const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace {

// Released when its thread ends.
thread_local ComPtr<IErrorInfo> pendingError;

} // namespace

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* errorInfo) {
  if (reserved != 0) {
    return E_INVALIDARG;
  }
  if (errorInfo != nullptr) {
    errorInfo->AddRef();
  }
  // The slot changes before the old object is released, so its destructor
  // never runs while the thread still points at it.
  ComPtr<IErrorInfo> previous(errorInfo);
  std::swap(previous, pendingError);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo) {
  if (errorInfo == nullptr) {
    return E_POINTER;
  }
  *errorInfo = nullptr;
  if (reserved != 0) {
    return E_INVALIDARG;
  }
  *errorInfo = pendingError.detach();
  return *errorInfo != nullptr ? S_OK : S_FALSE;
}

} // namespace platform::com
