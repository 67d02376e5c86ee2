#include "platform/com/ErrorObject.h"

#include <limits>
#include <new>

#include "platform/com/Bstr.h"

namespace platform::com {

namespace {

HRESULT copyOut(const std::wstring& text, BSTR* copy) {
  if (copy == nullptr) {
    return E_POINTER;
  }
  if (text.size() > std::numeric_limits<unsigned>::max()) {
    *copy = nullptr;
    return E_OUTOFMEMORY;
  }
  *copy = SysAllocStringLen(text.data(), static_cast<unsigned>(text.size()));
  return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

ErrorObject::ErrorObject(const std::wstring& description, const std::wstring& source)
    : description(description), source(source) {}

ErrorObject::~ErrorObject() = default;

ComPtr<IErrorInfo> ErrorObject::create(const std::wstring& description, const std::wstring& source) {
  return ComPtr<IErrorInfo>(new ErrorObject(description, source));
}

void ErrorObject::raise(const std::wstring& description, const std::wstring& source) noexcept {
  try {
    SetErrorInfo(0, create(description, source).get());
  } catch (const std::bad_alloc&) {
    SetErrorInfo(0, nullptr);
  }
}

HRESULT ErrorObject::QueryInterface(REFIID iid, void** object) {
  return offerInterface(iid, object, IID_IErrorInfo);
}

HRESULT ErrorObject::GetSource(BSTR* source) { return copyOut(this->source, source); }

HRESULT ErrorObject::GetDescription(BSTR* description) {
  return copyOut(this->description, description);
}

} // namespace platform::com
