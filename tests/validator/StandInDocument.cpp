#include "validator/StandInDocument.h"

#include "platform/com/ComRuntime.h"
#include "validator/StandInError.h"

namespace testsupport {

using namespace platform::com;
using platform::xml::IXMLDOMParseError;

namespace {

/// Logs any read of its properties, which the run must not make.
class StandInParseError : public ComObject<IXMLDOMParseError> {
public:
  StandInParseError() { ++StandInDocument::live; }
  ~StandInParseError() override { --StandInDocument::live; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return offerInterface(iid, object, platform::xml::IID_IXMLDOMParseError);
  }
  HRESULT get_errorCode(LONG*) override { return read(); }
  HRESULT get_url(BSTR*) override { return read(); }
  HRESULT get_reason(BSTR*) override { return read(); }
  HRESULT get_line(LONG*) override { return read(); }
  HRESULT get_linepos(LONG*) override { return read(); }

private:
  static HRESULT read() {
    StandInDocument::log.calls.push_back("parseError.read");
    return E_NOTIMPL;
  }
};

HRESULT logged(const char* name, VARIANT_BOOL value, HRESULT status) {
  StandInDocument::log.calls.push_back(std::string(name) + "(" + std::to_string(value) + ")");
  return status;
}

} // namespace

void StandInDocument::install() {
  registerClass(platform::xml::CLSID_DOMDocument30, &StandInDocument::create);
  script = DocumentScript();
  log = DocumentLog();
}

HRESULT StandInDocument::create(REFIID iid, void** object) {
  auto* document = new StandInDocument;
  const HRESULT status = document->QueryInterface(iid, object);
  document->Release();
  return status;
}

StandInDocument::StandInDocument() { ++live; }

StandInDocument::~StandInDocument() { --live; }

HRESULT StandInDocument::QueryInterface(REFIID iid, void** object) {
  return offerInterface(iid, object, platform::xml::IID_IXMLDOMDocument2);
}

HRESULT StandInDocument::put_validateOnParse(VARIANT_BOOL validate) {
  return logged("put_validateOnParse", validate, script.validateOnParse);
}

HRESULT StandInDocument::put_resolveExternals(VARIANT_BOOL resolve) {
  return logged("put_resolveExternals", resolve, script.resolveExternals);
}

HRESULT StandInDocument::put_async(VARIANT_BOOL async) {
  return logged("put_async", async, script.async);
}

HRESULT StandInDocument::load(VARIANT source, VARIANT_BOOL* isSuccessful) {
  log.sourceType = source.vt;
  if (source.vt == VT_BSTR) {
    log.sourceText = source.bstrVal;
  }
  logged("load", *isSuccessful, S_OK);
  *isSuccessful = script.loadFlag;
  if (script.loadLeavesError) {
    StandInError::raise(script.description, script.source);
  }
  return script.load;
}

HRESULT StandInDocument::get_parseError(IXMLDOMParseError** parseError) {
  log.calls.push_back("get_parseError");
  *parseError = script.parseError == S_OK ? new StandInParseError : nullptr;
  return script.parseError;
}

} // namespace testsupport
