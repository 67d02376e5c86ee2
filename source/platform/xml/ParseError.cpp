#include "platform/xml/ParseError.h"

#include <new>

#include "platform/xml/WideText.h"

namespace platform::xml {

namespace {

HRESULT handOut(const std::string& value, BSTR* out) {
  if (out == nullptr) {
    return com::E_INVALIDARG;
  }
  *out = allocateBstr(value);
  return *out != nullptr ? com::S_OK : com::E_OUTOFMEMORY;
}

HRESULT handOut(LONG value, LONG* out) {
  if (out == nullptr) {
    return com::E_INVALIDARG;
  }
  *out = value;
  return com::S_OK;
}

} // namespace

ParseError* ParseError::create(LONG errorCode, const ValidationError& first) {
  return new (std::nothrow) ParseError(errorCode, first);
}

ParseError::ParseError(LONG errorCode, const ValidationError& first)
    : errorCode(errorCode), first(first) {}

ParseError::~ParseError() = default;

HRESULT ParseError::QueryInterface(com::REFIID iid, void** object) {
  return offerInterface(iid, object, IID_IXMLDOMParseError);
}

HRESULT ParseError::get_errorCode(LONG* out) { return handOut(errorCode, out); }
HRESULT ParseError::get_url(BSTR* out) { return handOut(first.location, out); }
HRESULT ParseError::get_reason(BSTR* out) { return handOut(first.message, out); }
HRESULT ParseError::get_line(LONG* out) { return handOut(first.line, out); }
HRESULT ParseError::get_linepos(LONG* out) { return handOut(first.column, out); }

} // namespace platform::xml
