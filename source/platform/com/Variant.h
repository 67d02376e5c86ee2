// The tagged value COM passes by value.
#pragma once

#include <cstdint>

#include "platform/com/ComTypes.h"

namespace platform::com {

using VARTYPE = std::uint16_t;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;

/// A value of one of the types above, chosen by vt. A VT_BSTR variant owns
/// its string: VariantClear frees it.
struct VARIANT {
  VARTYPE vt;
  union {
    BSTR bstrVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
  };
};

/// Makes the variant VT_EMPTY without looking at what it held.
void VariantInit(VARIANT* variant);

/// Frees what the variant owns and makes it VT_EMPTY. E_INVALIDARG for a
/// null pointer or a type outside the list above.
HRESULT VariantClear(VARIANT* variant);

} // namespace platform::com
