// Ownership of one VARIANT.
#pragma once

#include "platform/com/Variant.h"

namespace platform::com {

/// A VARIANT that starts VT_EMPTY and is cleared with VariantClear when
/// destroyed or refilled, so whatever it owns is freed on every way out.
class ScopedVariant {
public:
  ScopedVariant();
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant();

  /// The held value, still owned; passing it by value lends it to the callee.
  const VARIANT& get() const { return value; }

  /// Clears the old value, then holds the string as VT_BSTR and owns it.
  void setString(BSTR owned);

  /// Clears the old value, then holds status as VT_ERROR.
  void setError(HRESULT status);

private:
  VARIANT value;
};

} // namespace platform::com
