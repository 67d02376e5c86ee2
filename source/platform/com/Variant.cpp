#include "platform/com/Variant.h"

#include "platform/com/Bstr.h"

namespace platform::com {

void VariantInit(VARIANT* variant) {
  variant->vt = VT_EMPTY;
  variant->bstrVal = nullptr;
}

HRESULT VariantClear(VARIANT* variant) {
  if (variant == nullptr) {
    return E_INVALIDARG;
  }
  switch (variant->vt) {
  case VT_BSTR:
    SysFreeString(variant->bstrVal);
    break;
  case VT_EMPTY:
  case VT_ERROR:
  case VT_BOOL:
    break;
  default:
    return E_INVALIDARG;
  }
  VariantInit(variant);
  return S_OK;
}

} // namespace platform::com
