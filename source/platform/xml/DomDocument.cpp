#include "platform/xml/DomDocument.h"

#include <new>

#include "platform/com/Bstr.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ErrorObject.h"
#include "platform/xml/ErrorCollector.h"
#include "platform/xml/LocalNames.h"
#include "platform/xml/ParseError.h"
#include "platform/xml/StreamingValidator.h"
#include "platform/xml/WideText.h"

namespace platform::xml {

const wchar_t* const componentName = L"Vexlor XML component";

namespace {

// The code a failed load reports through its parse-error object.
constexpr LONG loadFailedCode = com::E_FAIL;

HRESULT toFlag(VARIANT_BOOL value, bool& flag) {
  if (value == com::VARIANT_TRUE) {
    flag = true;
  } else if (value == com::VARIANT_FALSE) {
    flag = false;
  } else {
    return com::E_INVALIDARG;
  }
  return com::S_OK;
}

std::string describe(const ErrorCollector& errors) {
  std::string description;
  for (const ValidationError& error : errors.kept()) {
    description += error.toString();
    description += '\n';
  }
  const std::size_t more = errors.count() - errors.kept().size();
  if (more > 0) {
    description += "... and " + std::to_string(more) + (more == 1 ? " more error.\n" : " more errors.\n");
  }
  return description;
}

} // namespace

DomDocument::DomDocument() = default;

DomDocument::~DomDocument() = default;

HRESULT DomDocument::create(com::REFIID iid, void** object) {
  if (object == nullptr) {
    return com::E_POINTER;
  }
  *object = nullptr;
  DomDocument* document = new (std::nothrow) DomDocument();
  if (document == nullptr) {
    return com::E_OUTOFMEMORY;
  }
  const HRESULT status = document->QueryInterface(iid, object);
  document->Release();
  return status;
}

HRESULT DomDocument::QueryInterface(com::REFIID iid, void** object) {
  return offerInterface(iid, object, IID_IXMLDOMDocument2);
}

HRESULT DomDocument::put_validateOnParse(VARIANT_BOOL value) { return toFlag(value, validate); }

HRESULT DomDocument::put_resolveExternals(VARIANT_BOOL value) {
  return toFlag(value, resolveExternals);
}

HRESULT DomDocument::put_async(VARIANT_BOOL value) {
  if (value == com::VARIANT_TRUE) {
    return com::E_NOTIMPL; // loading always completes before load returns
  }
  return value == com::VARIANT_FALSE ? com::S_OK : com::E_INVALIDARG;
}

HRESULT DomDocument::load(VARIANT source, VARIANT_BOOL* isSuccessful) {
  if (isSuccessful == nullptr) {
    return com::E_INVALIDARG;
  }
  *isSuccessful = com::VARIANT_FALSE;
  if (source.vt != com::VT_BSTR) {
    return com::E_INVALIDARG;
  }
  try {
    const std::string location = localnames::argumentBytes(source.bstrVal, com::SysStringLen(source.bstrVal));
    ErrorCollector errors;
    StreamingValidator(LoadOptions{validate, resolveExternals}).run(location, errors);
    if (errors.empty()) {
      lastErrorCode = 0;
      firstError = ValidationError{};
      com::SetErrorInfo(0, nullptr);
      *isSuccessful = com::VARIANT_TRUE;
      return com::S_OK;
    }
    lastErrorCode = loadFailedCode;
    firstError = errors.kept().front();
    com::ErrorObject::raise(widen(describe(errors)), componentName);
    return com::S_FALSE;
  } catch (const std::bad_alloc&) {
    return com::E_OUTOFMEMORY;
  }
}

HRESULT DomDocument::get_parseError(IXMLDOMParseError** parseError) {
  if (parseError == nullptr) {
    return com::E_INVALIDARG;
  }
  try {
    *parseError = ParseError::create(lastErrorCode, firstError);
  } catch (const std::bad_alloc&) {
    *parseError = nullptr;
  }
  return *parseError != nullptr ? com::S_OK : com::E_OUTOFMEMORY;
}

void registerDomDocument() { com::registerClass(CLSID_DOMDocument30, DomDocument::create); }

} // namespace platform::xml
