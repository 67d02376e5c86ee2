// XML Schema validation of a stream, from the document's own hints.
#pragma once

#include <cstddef>
#include <string>

#include "platform/xml/EntityLoader.h"
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
/// by the pass's loader against the entity that holds them; both hints on
/// one element are read together, through a schema composed of the two.
/// Text goes to the schema layer in growing pieces (see text()). After an
/// internal error of the schema layer (fail()) it takes no more events.
class SchemaPlug {
public:
  using ErrorHandler = void (*)(void* data, xmlErrorPtr error);
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
  /// Records an internal error of the schema layer: its state is unusable.
  void fail() { failed = true; }

  /// An element start; hints in it are resolved by loads against base, the
  /// URI of the entity that holds them.
  void startElement(EntityLoader::Scope& loads, const char* base, const ElementStart& element);
  /// An element end, depth elements deep (counting the one that ends).
  void endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri, std::size_t depth);
  void text(const xmlChar* data, int length);
  void cdata(const xmlChar* data, int length);
  void stop();

private:
  void stopAfterFailure();
  void endTextRun();
  void forwardWithHints(EntityLoader::Scope& loads, const std::string& base, ElementStart element,
                        int pairsAt, int singleAt);
  void forward(const ElementStart& element);

  ErrorHandler errors;
  void* errorData;
  Locator locator;
  void* locatorData;
  XmlPtr<xmlSchemaValidCtxt> schema;
  xmlSchemaSAXPlugPtr plug = nullptr;
  xmlSAXHandlerPtr handler = nullptr;
  void* handlerData = nullptr;
  std::size_t rootDepth = 0;
  bool failed = false;
  // The run of text between two tags: what the schema layer has of it, what
  // it is still to get, and whether a blank CDATA section went to it as such.
  std::size_t textRun = 0;
  std::string pendingText;
  bool blankCdataForwarded = false;
};

} // namespace platform::xml
