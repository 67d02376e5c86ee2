// The root interface of every COM object.
#pragma once

#include "platform/com/ComTypes.h"

namespace platform::com {

/// Reference-counted interface with run-time interface discovery. An object
/// lives while its count is above zero; Release of the last reference frees it.
class IUnknown {
public:
  /// S_OK and an added reference in *object when the object offers iid;
  /// E_NOINTERFACE and null otherwise; E_POINTER when object is null.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  /// Returns the new count.
  virtual ULONG AddRef() = 0;
  /// Returns the new count; the object is gone when it is 0.
  virtual ULONG Release() = 0;

protected:
  ~IUnknown() = default;
};

extern const IID IID_IUnknown;

} // namespace platform::com
