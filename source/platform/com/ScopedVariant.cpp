#include "platform/com/ScopedVariant.h"

namespace platform::com {

ScopedVariant::ScopedVariant() { VariantInit(&value); }

ScopedVariant::~ScopedVariant() { VariantClear(&value); }

void ScopedVariant::setString(BSTR owned) {
  VariantClear(&value);
  value.vt = VT_BSTR;
  value.bstrVal = owned;
}

void ScopedVariant::setError(HRESULT status) {
  VariantClear(&value);
  value.vt = VT_ERROR;
  value.scode = status;
}

} // namespace platform::com
