#include "validator/ComErrorText.h"

#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ScopedBstr.h"
#include "util/StringHelper.h"

using platform::com::ComPtr;
using platform::com::IErrorInfo;
using platform::com::ScopedBstr;

std::pair<bool, std::wstring> getComErrorInfo() {
  ComPtr<IErrorInfo> errorInfo;
  if (platform::com::GetErrorInfo(0, errorInfo.address()) != platform::com::S_OK || !errorInfo) {
    return {false, std::wstring()};
  }
  // Declared in this order so the description is freed before the source,
  // and both before the error object is released.
  ScopedBstr source;
  ScopedBstr description;
  // Their statuses tell nothing that a null string does not.
  errorInfo->GetSource(source.address());
  errorInfo->GetDescription(description.address());

  std::wstring text;
  if (source.get() != nullptr && description.get() != nullptr) {
    text = L"COM Exception, Description: ";
    text += description.get();
    text += L" Source: '";
    text += source.get();
  }
  return {true, text};
}

std::string getComErrorText() { return util::StringHelper::toNarrow(getComErrorInfo().second); }
