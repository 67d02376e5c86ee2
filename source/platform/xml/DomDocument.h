// The validating XML document class of the platform layer.
#pragma once

#include <string>

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/xml/ValidationError.h"
#include "platform/xml/XmlDom.h"

namespace platform::xml {

/// The name that error objects of this component carry as their source.
extern const wchar_t* const componentName;

/// DOMDocument30: loads one document synchronously in a single streaming
/// pass and reports whether it is well-formed and valid. Every setting
/// changes what load does; one that cannot be honoured (asynchronous
/// loading) is refused with E_NOTIMPL.
class DomDocument : public com::ComObject<IXMLDOMDocument2> {
public:
  /// The class factory entered in the COM class table.
  static HRESULT create(com::REFIID iid, void** object);

  HRESULT QueryInterface(com::REFIID iid, void** object) override;
  HRESULT put_validateOnParse(VARIANT_BOOL validate) override;
  HRESULT put_resolveExternals(VARIANT_BOOL resolve) override;
  HRESULT put_async(VARIANT_BOOL async) override;
  /// Source: a VT_BSTR path (relative to the current directory), file: URL
  /// or http(s) URL; any other type is E_INVALIDARG. On failure returns
  /// S_FALSE with VARIANT_FALSE and leaves on the thread an error object
  /// whose description lists the problems, one "LOCATION:LINE:COLUMN:
  /// MESSAGE" line each, at most 50, then a line counting the rest.
  HRESULT load(VARIANT source, VARIANT_BOOL* isSuccessful) override;
  /// The first problem of the last load (errorCode 0 when it succeeded).
  HRESULT get_parseError(IXMLDOMParseError** parseError) override;

private:
  DomDocument();
  ~DomDocument() override;

  bool validate = true;
  bool resolveExternals = true;
  LONG lastErrorCode = 0;
  ValidationError firstError;
};

/// Enters DOMDocument30 in the COM class table.
void registerDomDocument();

} // namespace platform::xml
