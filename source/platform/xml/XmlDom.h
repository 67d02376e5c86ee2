// The document interfaces of the validating XML component.
#pragma once

#include "platform/com/ComTypes.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace platform::xml {

using com::BSTR;
using com::HRESULT;
using com::LONG;
using com::VARIANT;
using com::VARIANT_BOOL;

/// What went wrong in the last load: the first error, or errorCode 0 when
/// the load succeeded.
class IXMLDOMParseError : public com::IUnknown {
public:
  virtual HRESULT get_errorCode(LONG* errorCode) = 0;
  /// The location (path or URL) of the entity in which the error happened.
  virtual HRESULT get_url(BSTR* url) = 0;
  virtual HRESULT get_reason(BSTR* reason) = 0;
  virtual HRESULT get_line(LONG* line) = 0;
  virtual HRESULT get_linepos(LONG* linePosition) = 0;

protected:
  ~IXMLDOMParseError() = default;
};

/// A document that loads, checks and validates one XML document.
class IXMLDOMDocument2 : public com::IUnknown {
public:
  /// VARIANT_TRUE: validate against the document's DTD and its schema hints.
  virtual HRESULT put_validateOnParse(VARIANT_BOOL validate) = 0;
  /// VARIANT_TRUE: load the external subset, external entities and schemas.
  virtual HRESULT put_resolveExternals(VARIANT_BOOL resolve) = 0;
  /// VARIANT_FALSE: load returns when loading and validation are complete.
  virtual HRESULT put_async(VARIANT_BOOL async) = 0;
  /// Loads from a VT_BSTR path or URL. S_OK and VARIANT_TRUE when the
  /// document is well-formed and valid; S_FALSE and VARIANT_FALSE when it is
  /// not, with an error object on the thread that lists the errors.
  virtual HRESULT load(VARIANT source, VARIANT_BOOL* isSuccessful) = 0;
  virtual HRESULT get_parseError(IXMLDOMParseError** parseError) = 0;

protected:
  ~IXMLDOMDocument2() = default;
};

extern const com::CLSID CLSID_DOMDocument30;
extern const com::IID IID_IXMLDOMDocument2;
extern const com::IID IID_IXMLDOMParseError;

} // namespace platform::xml
