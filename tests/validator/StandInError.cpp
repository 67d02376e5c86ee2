#include "validator/StandInError.h"

#include "platform/com/Bstr.h"
#include "platform/com/ComPtr.h"

namespace testsupport {

using namespace platform::com;

namespace {

HRESULT copyOut(const std::optional<std::wstring>& text, BSTR* copy) {
  *copy = text ? SysAllocStringLen(text->data(), static_cast<unsigned>(text->size())) : nullptr;
  return S_OK;
}

} // namespace

void StandInError::raise(std::optional<std::wstring> description,
                         std::optional<std::wstring> source) {
  SetErrorInfo(0, ComPtr<IErrorInfo>(new StandInError(description, source)).get());
}

StandInError::StandInError(std::optional<std::wstring> description,
                           std::optional<std::wstring> source)
    : description(std::move(description)), source(std::move(source)) {
  ++live;
}

StandInError::~StandInError() { --live; }

HRESULT StandInError::QueryInterface(REFIID iid, void** object) {
  return offerInterface(iid, object, IID_IErrorInfo);
}

HRESULT StandInError::GetSource(BSTR* source) { return copyOut(this->source, source); }

HRESULT StandInError::GetDescription(BSTR* description) {
  return copyOut(this->description, description);
}

} // namespace testsupport
