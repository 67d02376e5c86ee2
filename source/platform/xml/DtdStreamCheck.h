// DTD validation of a stream, and the checks a stream pass adds to it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/xml/ElementRules.h"
#include "platform/xml/IdRegistry.h"
#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/SchemaPlug.h"

struct _xmlError;

namespace platform::xml {

class LoadReporter;

/// The DTD side of one pass. libxml2 validates a stream against the DTD
/// through its push API (xmlValidatePushElement and the rest); element
/// nodes exist only while their element is open and are freed at its end
/// tag, and an element whose start tag the DTD's rules admit (ElementRules)
/// gets none. It also makes the checks that libxml2 makes only on a tree:
/// content where an EMPTY or element-only declaration allows none (CDATA
/// sections, comments, PIs, entity references), white space in a
/// standalone document against an element declared externally, NCName
/// values under namespaces. It keeps the open elements, so its depth() is
/// the pass's. One report per element for a content fault and for an
/// undeclared name (suppresses()).
class DtdStreamCheck {
public:
  explicit DtdStreamCheck(LoadReporter& reporter);
  DtdStreamCheck(const DtdStreamCheck&) = delete;
  DtdStreamCheck& operator=(const DtdStreamCheck&) = delete;
  ~DtdStreamCheck();

  void attach(_xmlParserCtxt* documentParser) { parser = documentParser; }

  /// The document's start: its ID tables are made plain.
  void startDocument(_xmlParserCtxt* context);
  /// An element start read by context (the document's parser, or that of
  /// entity content).
  void startElement(_xmlParserCtxt* context, const ElementStart& element);
  /// An element end: its own checks, while the validation stack holds it.
  void endElement(_xmlParserCtxt* context, const xmlChar* localName, const xmlChar* prefix,
                  const xmlChar* uri);
  /// After endElement (and whatever else looks at the open element): the
  /// element is closed and its node freed.
  void closeElement(_xmlParserCtxt* context);

  /// The document's end, read by context: before libxml2's own final check,
  /// the references that name no ID are reported, each at its line.
  void endDocument(_xmlParserCtxt* context);

  /// Text read by context.
  void characters(_xmlParserCtxt* context, const xmlChar* data, int length);
  void cdata(_xmlParserCtxt* context, const xmlChar* data, int length);
  /// A comment, processing instruction or entity reference in content.
  void markup();

  /// Elements open now.
  std::size_t depth() const { return open.size() + inertDepth; }
  /// Whether libxml2's error repeats one already reported for its element,
  /// or flags an ENTITY default that no element takes.
  bool suppresses(const _xmlError& error);

private:
  struct OpenElement {
    _xmlNode* node = nullptr;
    bool dtdPushed = false;
    // Validated without a node of its own (startLight); node is a stand-in.
    bool light = false;
    bool contentFaultReported = false;
    bool undeclaredReported = false;
    bool standaloneFaultReported = false;
    int declaredType = -1;
    bool declaredExternally = false;
  };

  bool validating() const;
  bool validatingContent();
  int declaredType();
  bool startLight(_xmlParserCtxt* context, const ElementStart& element);
  _xmlNode* lightNode(std::size_t depth, const xmlChar* name);
  void checkDeclared(_xmlNode* node);
  void checkXmlPrefixDeclared(_xmlNode* node);
  void pushForeignContent();
  void checkNamespaceNames(_xmlNode* node);
  void checkStandaloneWhitespace();
  static bool blank(const xmlChar* data, int length);
  void startInTree(_xmlParserCtxt* context, const ElementStart& element);
  const xmlChar* qualifiedName(const xmlChar* localName, const xmlChar* prefix);
  void takeIds();
  void reportDuplicate(const std::string& id);
  void reportAsLibxml(int code, const std::string& message, const char* name, int line);

  LoadReporter& reporter;
  _xmlParserCtxt* parser = nullptr;
  std::vector<OpenElement> open;
  // While a DTD check runs: the open element it is about, and the one
  // whose content model it checks. libxml2 reports an undeclared element
  // both at its start and at its end; one report is enough.
  std::size_t subject = 0;
  std::size_t contentSubject = 0;
  // While the DTD's own declarations are checked, before the root element.
  bool finishingDtd = false;
  // Set at the root's start when there is no DTD to validate against (none
  // can come later): the elements are then only counted.
  bool inert = false;
  std::size_t inertDepth = 0;
  std::string nameBuffer;
  // The DTD's rules per element type, from the root on.
  std::optional<ElementRules> rules;
  std::vector<ElementRules::IdValue> tagIds;
  // The stand-ins of light elements, one per depth, reused.
  std::vector<std::unique_ptr<_xmlNode>> lightNodes;
  // The IDs and waiting references, which libxml2's tables hand over
  // after each element (internals::takeRecordedIds).
  IdRegistry ids;
};

} // namespace platform::xml
