// The error object that components of this layer leave on a thread.
#pragma once

#include <string>

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"

namespace platform::com {

/// An IErrorInfo with a fixed description and source.
class ErrorObject : public ComObject<IErrorInfo> {
public:
  /// A new error object, owned by the returned pointer.
  static ComPtr<IErrorInfo> create(const std::wstring& description, const std::wstring& source);

  /// Makes a new error object the calling thread's pending one, replacing
  /// any pending before. When memory is short, none is left. Never throws, so
  /// a component can call it on its way out of an interface call.
  static void raise(const std::wstring& description, const std::wstring& source) noexcept;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  /// The texts exactly as given, embedded NULs included; E_OUTOFMEMORY and
  /// null when the copy cannot be made.
  HRESULT GetSource(BSTR* source) override;
  HRESULT GetDescription(BSTR* description) override;

private:
  ErrorObject(const std::wstring& description, const std::wstring& source);
  ~ErrorObject() override;

  std::wstring description;
  std::wstring source;
};

} // namespace platform::com
