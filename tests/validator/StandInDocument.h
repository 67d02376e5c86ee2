// A scripted DOMDocument30 that stands in for the real component, so tests
// reach outcomes the real component never gives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/xml/XmlDom.h"

namespace testsupport {

/// What the next documents do. Statuses default to success and a valid load.
struct DocumentScript {
  platform::com::HRESULT validateOnParse = platform::com::S_OK;
  platform::com::HRESULT resolveExternals = platform::com::S_OK;
  platform::com::HRESULT async = platform::com::S_OK;
  platform::com::HRESULT load = platform::com::S_OK;
  platform::com::VARIANT_BOOL loadFlag = platform::com::VARIANT_TRUE;
  /// When set, load leaves a StandInError with these strings on the thread.
  bool loadLeavesError = false;
  std::optional<std::wstring> description;
  std::optional<std::wstring> source;
  platform::com::HRESULT parseError = platform::com::S_OK;
};

/// Every call the documents received, as "name(argument)", and the source
/// that load was given.
struct DocumentLog {
  std::vector<std::string> calls;
  platform::com::VARTYPE sourceType = platform::com::VT_EMPTY;
  std::wstring sourceText;
};

class StandInDocument : public platform::com::ComObject<platform::xml::IXMLDOMDocument2> {
public:
  /// Enters this class in the class table as DOMDocument30, resets the
  /// script and the log.
  static void install();

  static inline DocumentScript script;
  static inline DocumentLog log;
  /// Live documents and parse-error objects.
  static inline int live = 0;

  platform::com::HRESULT QueryInterface(platform::com::REFIID iid, void** object) override;
  platform::com::HRESULT put_validateOnParse(platform::com::VARIANT_BOOL validate) override;
  platform::com::HRESULT put_resolveExternals(platform::com::VARIANT_BOOL resolve) override;
  platform::com::HRESULT put_async(platform::com::VARIANT_BOOL async) override;
  platform::com::HRESULT load(platform::com::VARIANT source,
                              platform::com::VARIANT_BOOL* isSuccessful) override;
  platform::com::HRESULT get_parseError(platform::xml::IXMLDOMParseError** parseError) override;

private:
  StandInDocument();
  ~StandInDocument() override;
  static platform::com::HRESULT create(platform::com::REFIID iid, void** object);
};

} // namespace testsupport
