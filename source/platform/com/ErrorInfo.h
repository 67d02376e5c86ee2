// The error objects that a failing COM call leaves on its thread.
#pragma once

#include "platform/com/ComTypes.h"
#include "platform/com/Unknown.h"

namespace platform::com {

/// Describes a failure: its text and the component that reported it.
class IErrorInfo : public IUnknown {
public:
  /// Fills *source with a new BSTR naming the reporting component; the
  /// caller frees it. E_POINTER when source is null.
  virtual HRESULT GetSource(BSTR* source) = 0;
  /// Fills *description with a new BSTR describing the failure; the caller
  /// frees it. E_POINTER when description is null.
  virtual HRESULT GetDescription(BSTR* description) = 0;

protected:
  ~IErrorInfo() = default;
};

extern const IID IID_IErrorInfo;

/// Makes errorInfo the calling thread's pending error object, holding a
/// reference of its own and dropping the one pending before; null just
/// clears. Other threads are not affected. E_INVALIDARG when reserved is
/// not 0.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* errorInfo);

/// Hands the calling thread's pending error object over to the caller, with
/// its reference, and leaves none pending: S_OK. S_FALSE and null when none
/// was pending. E_POINTER when errorInfo is null; E_INVALIDARG (and null)
/// when reserved is not 0.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** errorInfo);

} // namespace platform::com
