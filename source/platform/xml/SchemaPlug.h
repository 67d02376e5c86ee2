// XML Schema validation of a stream, from the document's own hints.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/SchemaAttributeCheck.h"
#include "platform/xml/SchemaHints.h"
#include "platform/xml/SchemaIds.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

/// An element start as libxml2's SAX2 handler receives it; attributes holds
/// five pointers each (local name, prefix, URI, value start, value end).
struct ElementStart {
  const xmlChar* localName;
  const xmlChar* prefix;
  const xmlChar* uri;
  int namespaceCount;
  const xmlChar** namespaces;
  int attributeCount;
  int defaultedCount;
  const xmlChar** attributes;
};

/// The schema layer of one pass: it starts at the first element that holds
/// an xsi:schemaLocation or xsi:noNamespaceSchemaLocation hint and takes the
/// events of that element's subtree, then stops. Hint locations are resolved
/// by the pass's loader against the entity that holds them. Each schema
/// document is read once (a repeated hint is no error); the documents that
/// the hints of one element name are compiled together, each seeing the
/// components of the others, and join those read before. A hint met after
/// elements or attributes of its namespace, and an xsi:schemaLocation with
/// an odd token, are errors of the document.
/// Text goes to the schema layer in growing pieces (see text()). After an
/// internal error of the schema layer (fail()) it takes no more events.
class SchemaPlug {
public:
  using ErrorHandler = xmlStructuredErrorFunc;
  using Locator = int (*)(void* data, const char** file, unsigned long* line);

  /// The schema layer's errors go to errors(errorData); it asks where the
  /// parser stands through locator(locatorData).
  SchemaPlug(ErrorHandler errors, void* errorData, Locator locator, void* locatorData);
  SchemaPlug(const SchemaPlug&) = delete;
  SchemaPlug& operator=(const SchemaPlug&) = delete;
  ~SchemaPlug() { stop(); }

  /// Whether the element's attributes hold a hint.
  static bool holdsHint(const ElementStart& element);

  /// Starts schema validation at an element depth elements deep.
  void start(std::size_t depth);
  /// Whether the schema layer takes events (asked for every event, so kept
  /// inline).
  bool running() {
    if (failed) {
      stopAfterFailure();
    }
    return handler != nullptr;
  }
  /// Records error, an internal error of the schema layer: its state is
  /// unusable. Returns the message to report, "" for none: the schema layer
  /// raises one for each of its functions that a failure passes through,
  /// and a value that its pattern engine gave up on is told once, as such.
  std::string fail(const _xmlError& error);
  /// Called each time the schema layer has compiled, without a fault, the
  /// schema documents that the hints of one element name: the schema as it
  /// stands then (those documents and all read before), and the first
  /// document named. A check of compiled schemas goes here; what it finds
  /// is located in schema documents.
  using CompiledHandler = void (*)(void* data, xmlSchemaPtr schema, const std::string& document);
  void onCompiled(CompiledHandler handler, void* data) {
    compiled = handler;
    compiledData = data;
  }
  /// Records a fault that compiling the hinted schema found.
  void compilationFailed() { compilationFaults = true; }

  /// "Element 'NAME': ", NAME the element whose start or end the schema
  /// layer takes now, as its own messages name it.
  std::string elementInHand() const;
  /// The schema document that the schema layer compiles now, while it
  /// reads hints; "" otherwise. Errors of the compilation that libxml2 does
  /// not place belong there.
  const std::string& compilingSchema() const { return compiling; }

  /// An element start; hints in it are resolved by loads against the URI of
  /// the entity that holds them, the file the locator names.
  void startElement(EntityLoader::Scope& loads, const ElementStart& element);
  /// An element end, depth elements deep (counting the one that ends).
  void endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri, std::size_t depth);
  void text(const xmlChar* data, int length);
  void cdata(const xmlChar* data, int length);
  void stop();

private:
  void stopAfterFailure();
  void endTextRun();
  bool forwardWithHints(EntityLoader::Scope& loads, const std::string& base, ElementStart element);
  std::string hintFor(EntityLoader::Scope& loads, const std::string& base,
                      const std::vector<SchemaHints::Location>& fresh, const char*& name);
  void reportHintProblem(const std::string& problem);
  /// Reports a fault of the document where the parser stands, or at line
  /// (column unknown) when line is not 0.
  void reportFault(const std::string& message, int line);
  void noteNamespaces(const ElementStart& element);
  void forward(const ElementStart& element);

  ErrorHandler errors;
  void* errorData;
  Locator locator;
  void* locatorData;
  XmlPtr<xmlSchemaValidCtxt> schema;
  xmlSchemaSAXPlugPtr plug = nullptr;
  xmlSAXHandlerPtr handler = nullptr;
  void* handlerData = nullptr;
  const xmlChar* handledName = nullptr;
  const xmlChar* handledNamespace = nullptr;
  std::size_t rootDepth = 0;
  // Whether the validation root went to the schema layer, and whether it
  // went as the child of a wrapper (its xsi:type may then stand for a
  // declaration).
  bool rootForwarded = false;
  bool wrapped = false;
  bool failed = false;
  // Whether the last failure was a pattern the schema layer could not apply.
  bool patternUndecided = false;
  SchemaHints hints;
  unsigned compositions = 0;
  std::string compiling;
  bool compilationFaults = false;
  CompiledHandler compiled = nullptr;
  void* compiledData = nullptr;
  // The run of text between two tags: what the schema layer has of it, what
  // it is still to get, and whether a blank CDATA section went to it as such.
  std::size_t textRun = 0;
  std::string pendingText;
  bool blankCdataForwarded = false;
  SchemaIds ids;
  SchemaAttributeCheck attributes;
};

} // namespace platform::xml
