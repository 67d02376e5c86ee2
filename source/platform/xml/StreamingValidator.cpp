#include "platform/xml/StreamingValidator.h"

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <strings.h>

#include "platform/xml/DtdStreamCheck.h"
#include "platform/xml/EncodingReports.h"
#include "platform/xml/EntityLoader.h"
#include "platform/xml/EntityReferences.h"
#include "platform/xml/ErrorChannels.h"
#include "platform/xml/ErrorCollector.h"
#include "platform/xml/ErrorWording.h"
#include "platform/xml/FacetConsistency.h"
#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/LoadReporter.h"
#include "platform/xml/LocalNames.h"
#include "platform/xml/ProgressLine.h"
#include "platform/xml/RemoteInput.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/SchemaPlug.h"
#include "platform/xml/StandaloneAttributes.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

const char* chars(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

// One pass over a document: it hands libxml2's SAX events to the DTD check
// and the schema layer, and libxml2's errors to the reporter. The parser
// contexts of entity content reach it through _private.
class Pass {
public:
  Pass(LoadOptions options, ErrorCollector& errors)
      : options(options), errors(errors), reporter(errors), dtd(reporter), entities(reporter), encoding(reporter),
        schema(passError, this, LoadReporter::locate, &reporter) {
    schema.onCompiled(checkFacets, this);
  }
  Pass(const Pass&) = delete;
  Pass& operator=(const Pass&) = delete;

  /// Reads location, or the size bytes at data named location when data is
  /// not null.
  void run(const std::string& location, const char* data, std::size_t size);

private:
  using Running = LoadReporter::Running;

  static Pass& of(void* context) {
    return *static_cast<Pass*>(static_cast<xmlParserCtxtPtr>(context)->_private);
  }

  static xmlSAXHandler handlers();
  static void startDocument(void* context);
  static void endDocument(void* context);
  static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                           const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                           int attributeCount, int defaultedCount, const xmlChar** attributes);
  static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                         const xmlChar* uri);
  template <void (DtdStreamCheck::*dtdText)(xmlParserCtxtPtr, const xmlChar*, int),
            void (SchemaPlug::*schemaText)(const xmlChar*, int)>
  static void text(void* context, const xmlChar* data, int length);
  static void markup(void* context, const xmlChar*) { markupWithData(context, nullptr, nullptr); }
  static void markupWithData(void* context, const xmlChar*, const xmlChar*);
  static void ignoreReference(void*, const xmlChar*) {}
  static xmlEntityPtr getEntity(void* context, const xmlChar* name);
  static xmlEntityPtr getParameterEntity(void* context, const xmlChar* name);
  static xmlParserInputPtr resolveEntity(void* context, const xmlChar* publicId, const xmlChar* systemId);
  static void entityDecl(void* context, const xmlChar* name, int type, const xmlChar* publicId,
                         const xmlChar* systemId, xmlChar* content);
  static void attributeDecl(void* context, const xmlChar* element, const xmlChar* name, int type, int mode,
                            const xmlChar* defaultValue, xmlEnumerationPtr values);
  static void externalSubset(void* context, const xmlChar* name, const xmlChar* publicId,
                             const xmlChar* systemId);
  static void parserError(void* context, LibxmlError error);
  static void passError(void* pass, LibxmlError error);
  static void checkFacets(void* pass, xmlSchemaPtr compiled, const std::string& document);

  void record(const xmlError& error);
  void refuseWideTag(xmlParserCtxtPtr context);
  void read(EntityLoader::Scope& loads, const ResourceName& document, const std::string& location);

  LoadOptions options;
  ErrorCollector& errors;
  LoadReporter reporter;
  DtdStreamCheck dtd;
  EntityReferences entities;
  EncodingReports encoding;
  SchemaPlug schema;
  StandaloneAttributes standalone;
  // Facet faults reported so far: each compilation checks the whole schema.
  std::set<std::string> facetFaults;
  // Start tags with more attributes are refused: no document needs them,
  // and libxml2 2.9 to 2.11 take quadratic time over them.
  static constexpr std::size_t maxAttributes = 10000;
  internals::WideTagWatch wideTags{maxAttributes};
  bool wideTagReported = false;
  std::string documentUri;
  EntityLoader::Scope* loads = nullptr;
  xmlParserCtxtPtr parser = nullptr;
  // The document for a pass over memory; null when it is opened by name.
  const char* memoryData = nullptr;
  std::size_t memorySize = 0;
};

void Pass::startDocument(void* context) {
  xmlSAX2StartDocument(context);
  Pass& pass = of(context);
  pass.dtd.startDocument(static_cast<xmlParserCtxtPtr>(context));
  if (context == pass.parser) {
    pass.encoding.declarationRead(pass.parser);
  }
}

void Pass::endDocument(void* context) {
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  pass.dtd.endDocument(static_cast<xmlParserCtxtPtr>(context));
  xmlSAX2EndDocument(context);
}

void Pass::startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                        const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                        int attributeCount, int defaultedCount, const xmlChar** attributes) {
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  if (static_cast<std::size_t>(attributeCount) > maxAttributes) {
    pass.refuseWideTag(static_cast<xmlParserCtxtPtr>(context));
    return;
  }
  ElementStart element{localName,      prefix,         uri,       namespaceCount, namespaces,
                       attributeCount, defaultedCount, attributes};
  if (pass.standalone.active()) {
    std::vector<std::string> changed;
    element = pass.standalone.check(element, changed);
    for (const std::string& name : changed) {
      pass.reporter.reportHere("standalone: " + name + " on " + chars(localName) +
                               " value had to be normalized based on external subset declaration");
    }
  }
  pass.dtd.startElement(static_cast<xmlParserCtxtPtr>(context), element);
  if (!pass.schema.running() && pass.options.validate && pass.options.resolveExternals &&
      SchemaPlug::holdsHint(element)) {
    pass.schema.start(pass.dtd.depth());
  }
  if (pass.schema.running()) {
    pass.schema.startElement(*pass.loads, element);
  }
}

void Pass::endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                      const xmlChar* uri) {
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  pass.dtd.endElement(ctxt, localName, prefix, uri);
  if (pass.schema.running()) {
    pass.schema.endElement(localName, prefix, uri, pass.dtd.depth());
  }
  pass.dtd.closeElement(ctxt);
}

// No text nodes are built: the DTD stack and the schema layer see the text
// (characters, or a CDATA section) as it streams by. Keeping entity content
// free of nodes also makes libxml2 parse every reference to an entity again,
// so each one is validated.
template <void (DtdStreamCheck::*dtdText)(xmlParserCtxtPtr, const xmlChar*, int),
          void (SchemaPlug::*schemaText)(const xmlChar*, int)>
void Pass::text(void* context, const xmlChar* data, int length) {
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  (pass.dtd.*dtdText)(static_cast<xmlParserCtxtPtr>(context), data, length);

  if (pass.schema.running()) {
    (pass.schema.*schemaText)(data, length);
  }
}

void Pass::markupWithData(void* context, const xmlChar*, const xmlChar*) {
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  pass.dtd.markup();
}

xmlEntityPtr Pass::getEntity(void* context, const xmlChar* name) {
  Pass& pass = of(context);
  const Running running(pass.reporter, context);
  pass.dtd.markup();
  return pass.entities.general(static_cast<xmlParserCtxtPtr>(context), name);
}

xmlEntityPtr Pass::getParameterEntity(void* context, const xmlChar* name) {
  return of(context).entities.parameter(static_cast<xmlParserCtxtPtr>(context), name);
}

xmlParserInputPtr Pass::resolveEntity(void* context, const xmlChar* publicId, const xmlChar* systemId) {
  return of(context).entities.resolve(static_cast<xmlParserCtxtPtr>(context), publicId, systemId);
}

void Pass::entityDecl(void* context, const xmlChar* name, int type, const xmlChar* publicId,
                      const xmlChar* systemId, xmlChar* content) {
  of(context).entities.declare(static_cast<xmlParserCtxtPtr>(context), name, type, publicId, systemId, content);
}

void Pass::attributeDecl(void* context, const xmlChar* element, const xmlChar* name, int type, int mode,
                         const xmlChar* defaultValue, xmlEnumerationPtr values) {
  of(context).standalone.declared(static_cast<xmlParserCtxtPtr>(context), element, name, type);
  xmlSAX2AttributeDecl(context, element, name, type, mode, defaultValue, values);
}

// libxml2 reads the external subset after the internal one: the DTD is
// complete when it returns.
void Pass::externalSubset(void* context, const xmlChar* name, const xmlChar* publicId,
                          const xmlChar* systemId) {
  xmlSAX2ExternalSubset(context, name, publicId, systemId);
  of(context).standalone.dtdComplete(static_cast<xmlParserCtxtPtr>(context));
}

void Pass::parserError(void* context, LibxmlError error) {
  internals::keepReportingErrors(static_cast<xmlParserCtxtPtr>(context));
  if (error != nullptr) {
    Pass& pass = of(context);
    const Running running(pass.reporter, context);
    if (!pass.encoding.places(static_cast<xmlParserCtxtPtr>(context), *error)) {
      pass.record(*error);
    }
  }
}

void Pass::passError(void* pass, LibxmlError error) {
  if (error != nullptr) {
    static_cast<Pass*>(pass)->record(*error);
  }
}

void Pass::record(const xmlError& error) {
  if (wideTags.tripped()) {
    // The input was ended inside the tag: what libxml2 makes of that is
    // the refusal.
    refuseWideTag(nullptr);
    return;
  }
  if (encoding.absorbs(error)) {
    return;
  }
  if (encoding.overrules(error, parser)) {
    return;
  }
  if (error.domain == XML_FROM_SCHEMASP && error.level >= XML_ERR_ERROR) {
    schema.compilationFailed();
  }
  if (reporter.placesRefusal(error)) {
    return;
  }
  xmlError told = error;
  std::string failure;
  if (error.domain == XML_FROM_SCHEMASV && error.code == XML_SCHEMAV_INTERNAL) {
    failure = schema.fail(error);
    if (failure.empty()) {
      return;
    }
    told.message = failure.data();
  }
  if (reporter.ignores(error) || dtd.suppresses(error)) {
    return;
  }
  if (ErrorWording::repeats(error, !errors.empty())) {
    return;
  }
  if (const char* replacement = ErrorWording::replacement(error)) {
    told.message = const_cast<char*>(replacement);
  }
  if (error.domain == XML_FROM_SCHEMASP && error.file == nullptr && !schema.compilingSchema().empty()) {
    // A fault of the hinted schema that libxml2 found once its documents
    // were read: the schema is at fault, not the element that named it.
    told.file = const_cast<char*>(schema.compilingSchema().c_str());
    told.line = 0;
    told.int2 = 0;
  }
  reporter.add(told);
}

// Reports the refusal once, where the parser stands, and stops context.
void Pass::refuseWideTag(xmlParserCtxtPtr context) {
  if (!wideTagReported) {
    wideTagReported = true;
    reporter.reportHere("too many attributes on one element: more than " + std::to_string(maxAttributes));
  }
  if (context != nullptr) {
    xmlStopParser(context);
    context->wellFormed = 0;
  }
}

// Facets that contradict each other pass libxml2's compilation; they are
// checked in every namespace's schema once the hints have compiled.
void Pass::checkFacets(void* data, xmlSchemaPtr compiled, const std::string&) {
  Pass& pass = *static_cast<Pass*>(data);
  for (xmlSchemaPtr one : internals::namespaceSchemas(compiled)) {
    checkFacetConsistency(*one, [&pass](const FacetViolation& fault) {
      const int line = fault.line > 0 && fault.line <= INT_MAX ? static_cast<int>(fault.line) : 0;
      if (pass.facetFaults.insert(fault.location + ":" + std::to_string(line) + ": " + fault.message).second) {
        pass.reporter.report({fault.location, line, 0, fault.message});
      }
    });
  }
}

xmlSAXHandler Pass::handlers() {
  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof handler);
  xmlSAXVersion(&handler, 2);
  handler.startDocument = startDocument;
  handler.endDocument = endDocument;
  handler.startElementNs = startElement;
  handler.endElementNs = endElement;
  handler.characters = text<&DtdStreamCheck::characters, &SchemaPlug::text>;
  handler.ignorableWhitespace = handler.characters;
  handler.cdataBlock = text<&DtdStreamCheck::cdata, &SchemaPlug::cdata>;
  handler.getEntity = getEntity;
  handler.getParameterEntity = getParameterEntity;
  handler.comment = markup;
  handler.processingInstruction = markupWithData;
  handler.reference = ignoreReference;
  handler.resolveEntity = resolveEntity;
  handler.entityDecl = entityDecl;
  handler.attributeDecl = attributeDecl;
  handler.externalSubset = externalSubset;
  handler.serror = parserError;
  handler.warning = nullptr;
  handler.error = nullptr;
  handler.fatalError = nullptr;
  return handler;
}

void Pass::run(const std::string& location, const char* data, std::size_t size) {
  memoryData = data;
  memorySize = size;
  const std::string directory = localnames::currentDirectory();
  const bool exists = memoryData != nullptr || localnames::exists(location);
  const ResourceName document = nameArgument(location, directory, exists);
  documentUri = document.uri;
  // Reports name local files the way the user named the document.
  const bool relative = document.isLocal() && document.relativePath;
  reporter.nameResourcesAs(ResourceDisplay(document, location, relative ? directory : ""), documentUri);
  EntityLoader::Scope scope(reporter, options.resolveExternals);
  loads = &scope;
  const ErrorChannels channels(this, passError);
  read(scope, document, location);
  schema.stop();
  reporter.detach();
  entities.detach();
  parser = nullptr;
  loads = nullptr;
}

void Pass::read(EntityLoader::Scope& scope, const ResourceName& document, const std::string& location) {
  XmlPtr<xmlParserCtxt> context(xmlNewParserCtxt());
  if (context == nullptr) {
    errors.add({location, 0, 0, "out of memory while setting up the parser"});
    return;
  }
  parser = context.get();
  parser->_private = this;
  reporter.attach(parser, &scope);
  entities.attach(parser, &scope);
  dtd.attach(parser);
  *parser->sax = handlers();
  parser->userData = parser;
  // COMPACT keeps short attribute values inside their text node: no
  // allocation per attribute. Defaulted attributes are validated on each
  // element that takes them.
  xmlCtxtUseOptions(parser, XML_PARSE_NOENT | XML_PARSE_COMPACT |
                                (options.resolveExternals ? XML_PARSE_DTDLOAD : 0) |
                                (options.validate ? XML_PARSE_DTDVALID | XML_PARSE_DTDATTR : 0));
  internals::keepIdsByValue(parser);
  internals::keepLineNumbers(parser);

  xmlParserInputPtr input = memoryData != nullptr ? scope.openMemory(memoryData, memorySize, documentUri, parser)
                                                  : scope.openDocument(document, parser);
  if (input == nullptr) {
    if (errors.empty()) {
      errors.add({location, 0, 0, "failed to load \"" + location + "\""});
    }
    return;
  }
  if (inputPush(parser, input) < 0) {
    xmlFreeInputStream(input);
    errors.add({location, 0, 0, "failed to start reading \"" + location + "\""});
    return;
  }
  if (!encoding.readable(input, documentUri)) {
    return;
  }
  const std::size_t announced = announcedSize(input);
  ProgressLine progress(announced > 0 ? announced : scope.entitySize(documentUri, 0));
  wideTags.countReads([&progress](std::size_t bytes) { progress.advance(bytes); });
  wideTags.watch(parser, input);
  xmlParseDocument(parser);
  wideTags.countReads(nullptr);
  progress.erase();
  if (wideTags.tripped()) {
    const Running running(reporter, parser);
    refuseWideTag(parser);
  }
  encoding.documentRead(parser, documentUri);
  schema.stop();
  internals::dropValidationStack(parser);
  if (errors.empty() && !parser->wellFormed) {
    errors.add({location, 0, 0, "the document is not well-formed"});
  }
}

} // namespace

StreamingValidator::StreamingValidator(LoadOptions options) : options(options) {}

void StreamingValidator::run(const std::string& location, ErrorCollector& errors) const {
  Pass pass(options, errors);
  pass.run(location, nullptr, 0);
}

void StreamingValidator::runMemory(const char* data, std::size_t size, const std::string& name,
                                   ErrorCollector& errors) const {
  Pass pass(options, errors);
  pass.run(name, data, size);
}

} // namespace platform::xml
