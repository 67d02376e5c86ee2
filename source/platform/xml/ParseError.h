// The description of a load's first problem.
#pragma once

#include "platform/com/ComObject.h"
#include "platform/xml/ValidationError.h"
#include "platform/xml/XmlDom.h"

namespace platform::xml {

/// A snapshot of the first problem of one load; errorCode 0 and empty texts
/// when there was none. Strings are handed out as new BSTRs that the caller
/// frees; each narrow byte becomes the code unit of the same value.
class ParseError : public com::ComObject<IXMLDOMParseError> {
public:
  /// A new object holding one reference, owned by the caller.
  static ParseError* create(LONG errorCode, const ValidationError& first);

  HRESULT QueryInterface(com::REFIID iid, void** object) override;
  HRESULT get_errorCode(LONG* errorCode) override;
  HRESULT get_url(BSTR* url) override;
  HRESULT get_reason(BSTR* reason) override;
  HRESULT get_line(LONG* line) override;
  HRESULT get_linepos(LONG* linePosition) override;

private:
  ParseError(LONG errorCode, const ValidationError& first);
  ~ParseError() override;

  LONG errorCode;
  ValidationError first;
};

} // namespace platform::xml
