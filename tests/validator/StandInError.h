// An error object whose strings may be missing, for tests of error reporting.
#pragma once

#include <optional>
#include <string>

#include "platform/com/ComObject.h"
#include "platform/com/ErrorInfo.h"

namespace testsupport {

/// Hands out its description and source when it has them, and leaves the
/// slot null otherwise. Live instances are counted.
class StandInError : public platform::com::ComObject<platform::com::IErrorInfo> {
public:
  /// Makes a new one the calling thread's pending error object.
  static void raise(std::optional<std::wstring> description, std::optional<std::wstring> source);

  static inline int live = 0;

  platform::com::HRESULT QueryInterface(platform::com::REFIID iid, void** object) override;
  platform::com::HRESULT GetSource(platform::com::BSTR* source) override;
  platform::com::HRESULT GetDescription(platform::com::BSTR* description) override;

private:
  StandInError(std::optional<std::wstring> description, std::optional<std::wstring> source);
  ~StandInError() override;

  std::optional<std::wstring> description;
  std::optional<std::wstring> source;
};

} // namespace testsupport
