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
#include <sys/stat.h>

#include "platform/xml/DtdStreamCheck.h"
#include "platform/xml/EncodingCheck.h"
#include "platform/xml/EntityLoader.h"
#include "platform/xml/ErrorChannels.h"
#include "platform/xml/ErrorCollector.h"
#include "platform/xml/ExpansionGuard.h"
#include "platform/xml/FacetConsistency.h"
#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/LoadReporter.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/SchemaPlug.h"
#include "platform/xml/StandaloneAttributes.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

const char* chars(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

constexpr const char* amplificationRefusal =
    "Excessive entity expansion: one entity reference stands for far more text than the document holds";
constexpr const char* depthFault = "Excessive depth in document";
constexpr const char* depthRefusal = "Excessive depth in document: elements nested deeper than 256 levels";

// One pass over a document: it hands libxml2's SAX events to the DTD check
// and the schema layer, and libxml2's errors to the reporter. The parser
// contexts of entity content reach it through _private.
class Pass {
public:
  Pass(LoadOptions options, ErrorCollector& errors)
      : options(options), errors(errors), reporter(errors), dtd(reporter),
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
  void checkByteOrderMark();
  bool readable(xmlParserInputPtr input);
  bool placeStall(xmlParserCtxtPtr context);
  void chargeExpansion(xmlParserCtxtPtr ctxt, xmlEntityPtr entity);
  void read(EntityLoader::Scope& loads, const ResourceName& document, const std::string& location);
  xmlParserInputPtr openMemory();

  LoadOptions options;
  ErrorCollector& errors;
  LoadReporter reporter;
  DtdStreamCheck dtd;
  SchemaPlug schema;
  StandaloneAttributes standalone;
  EncodingCheck encoding;
  // Facet faults reported so far: each compilation checks the whole schema.
  std::set<std::string> facetFaults;
  ExpansionGuard expansion;
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
    pass.checkByteOrderMark();
  }
}

// A byte order mark says how the document is encoded; an encoding
// declaration that says otherwise is a fatal error, which libxml2 lets pass
// (it believes the mark).
void Pass::checkByteOrderMark() {
  const std::string contradiction = encoding.contradiction(internals::declaredEncoding(parser));
  if (contradiction.empty()) {
    return;
  }
  reporter.reportHere(contradiction);
  xmlStopParser(parser);
  parser->wellFormed = 0;
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
    pass.schema.startElement(*pass.loads, pass.reporter.currentBase(), element);
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
  if (context == pass.parser) {
    internals::forgetDocumentExpansion(pass.parser);
  }
  xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
  pass.chargeExpansion(static_cast<xmlParserCtxtPtr>(context), entity);
  return entity;
}

xmlEntityPtr Pass::getParameterEntity(void* context, const xmlChar* name) {
  Pass& pass = of(context);
  if (context == pass.parser) {
    internals::forgetDocumentExpansion(pass.parser);
  }
  xmlEntityPtr entity = xmlSAX2GetParameterEntity(context, name);
  pass.chargeExpansion(static_cast<xmlParserCtxtPtr>(context), entity);
  return entity;
}

// libxml2 would resolve the external subset's system identifier with its
// own URI parser, which gives up on one that holds a space or a non-ASCII
// letter; the loader's names do not.
xmlParserInputPtr Pass::resolveEntity(void* context, const xmlChar* publicId, const xmlChar* systemId) {
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  Pass& pass = of(context);
  std::string name;
  if (systemId != nullptr && pass.loads != nullptr) {
    name = pass.loads->resolve(internals::innermostInputName(ctxt), chars(systemId));
  }
  return xmlLoadExternalEntity(systemId != nullptr ? name.c_str() : nullptr, chars(publicId), ctxt);
}

// The same for the system identifiers of entities, which libxml2 resolves
// when they are declared: against the entity the declaration stands in.
void Pass::entityDecl(void* context, const xmlChar* name, int type, const xmlChar* publicId,
                      const xmlChar* systemId, xmlChar* content) {
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  Pass& pass = of(context);
  const bool parameter = type == XML_INTERNAL_PARAMETER_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY;
  const auto declared = [ctxt, name, parameter]() -> xmlEntityPtr {
    if (ctxt->myDoc == nullptr) {
      return nullptr;
    }
    return parameter ? xmlGetParameterEntity(ctxt->myDoc, name) : xmlGetDocEntity(ctxt->myDoc, name);
  };
  // A later declaration of the same name is ignored, and its entity is not
  // the one to name.
  const xmlEntityPtr earlier = systemId != nullptr ? declared() : nullptr;
  xmlSAX2EntityDecl(context, name, type, publicId, systemId, content);
  const xmlEntityPtr entity = systemId != nullptr && pass.loads != nullptr ? declared() : nullptr;
  if (entity == nullptr || entity == earlier) {
    return;
  }
  const std::string uri = pass.loads->resolve(internals::innermostInputName(ctxt), chars(systemId));
  xmlFree(const_cast<xmlChar*>(entity->URI));
  entity->URI = xmlStrdup(reinterpret_cast<const xmlChar*>(uri.c_str()));
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

// Counts what a reference to entity stands for, and ends the pass once the
// references stand for too much: the report names the first reference over
// the limit, and every parser in the pass stops.
void Pass::chargeExpansion(xmlParserCtxtPtr ctxt, xmlEntityPtr entity) {
  if (expansion.refused()) {
    xmlStopParser(ctxt);
    ctxt->wellFormed = 0;
    return;
  }
  if (entity == nullptr) {
    return;
  }
  std::size_t size = 0;
  switch (entity->etype) {
  case XML_INTERNAL_GENERAL_ENTITY:
  case XML_INTERNAL_PARAMETER_ENTITY:
    size = static_cast<std::size_t>(entity->length > 0 ? entity->length : 0);
    break;
  case XML_EXTERNAL_GENERAL_PARSED_ENTITY:
  case XML_EXTERNAL_PARAMETER_ENTITY: {
    const xmlChar* location = entity->URI != nullptr ? entity->URI : entity->SystemID;
    size = location != nullptr && loads != nullptr ? loads->entitySize(chars(location), ExpansionGuard::unknownSize)
                                                   : ExpansionGuard::unknownSize;
    break;
  }
  default:
    return; // predefined and unparsed entities stand for no text to parse
  }
  if (expansion.charge(size, internals::documentBytesRead(parser))) {
    return;
  }
  const Running running(reporter, ctxt);
  reporter.reportHere(ExpansionGuard::refusalMessage());
  for (xmlParserCtxtPtr stopped : {ctxt, parser}) {
    xmlStopParser(stopped);
    stopped->wellFormed = 0;
  }
}

void Pass::parserError(void* context, LibxmlError error) {
  internals::keepReportingErrors(static_cast<xmlParserCtxtPtr>(context));
  if (error != nullptr) {
    Pass& pass = of(context);
    const Running running(pass.reporter, context);
    const xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
    int line = 0;
    int column = 0;
    const std::string ahead = pass.encoding.refusedAhead(ctxt, *error, line, column);
    if (!ahead.empty()) {
      ValidationError place = pass.reporter.here();
      place.line = line;
      place.column = column;
      place.message = ahead;
      pass.reporter.report(std::move(place));
      return;
    }
    if ((error->domain == XML_FROM_PARSER || internals::isDecoderFault(*error)) && pass.placeStall(ctxt)) {
      return; // the error is about what the undecodable bytes cut short
    }
    pass.record(*error);
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
  const std::string overruled = encoding.overruledDeclaration(error);
  if (!overruled.empty()) {
    reporter.reportHere(overruled);
    if (parser != nullptr) {
      parser->wellFormed = 0;
    }
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
  // libxml2 2.13 and later add this to the syntax error that ends a
  // declaration of the external subset early; it says nothing more.
  if (error.domain == XML_FROM_PARSER && error.code == XML_ERR_EXT_SUBSET_NOT_FINISHED && !errors.empty()) {
    return;
  }
  // libxml2 2.11 and later refuse one reference that stands for too much
  // in words of their own, naming a setting that is not the user's.
  if (internals::isAmplificationRefusal(error.message)) {
    told.message = const_cast<char*>(amplificationRefusal);
  }
  // The series word it differently, and the option it names is not the
  // user's to set.
  if (error.message != nullptr && std::strncmp(error.message, depthFault, std::strlen(depthFault)) == 0) {
    told.message = const_cast<char*>(depthRefusal);
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
  const std::string directory = EntityLoader::currentDirectory();
  struct stat status {};
  const bool exists = memoryData != nullptr || lstat(location.c_str(), &status) == 0;
  const ResourceName document = nameArgument(location, directory, exists);
  documentUri = document.uri;
  // Reports name local files the way the user named the document.
  const bool relative = document.isLocal() && document.path == location && location.compare(0, 1, "/") != 0;
  reporter.nameResourcesAs(ResourceDisplay(document, location, relative ? directory : ""), documentUri);
  EntityLoader::Scope scope(reporter, options.resolveExternals);
  loads = &scope;
  const ErrorChannels channels(this, passError);
  read(scope, document, location);
  schema.stop();
  reporter.detach();
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
  parser->linenumbers = 1;

  xmlParserInputPtr input = memoryData != nullptr ? openMemory() : scope.openDocument(document, parser);
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
  if (!readable(input)) {
    return;
  }
  wideTags.watch(parser, input);
  xmlParseDocument(parser);
  if (wideTags.tripped()) {
    const Running running(reporter, parser);
    refuseWideTag(parser);
  }
  {
    // Text that ends where decoding stopped raises no parser error.
    const Running running(reporter, parser);
    if (parser->wellFormed) {
      placeStall(parser);
    }
    // One that no parser reached (in an entity whose content ends
    // there) has no place to report but its resource's: line 0 (unknown).
    const std::string undecoded = encoding.unplaced();
    if (!undecoded.empty()) {
      reporter.report({documentUri, 0, 0, undecoded});
    }
  }
  schema.stop();
  internals::dropValidationStack(parser);
  if (errors.empty() && !parser->wellFormed) {
    errors.add({location, 0, 0, "the document is not well-formed"});
  }
}

// Reports bytes that context's input cannot decode, where its parser
// stopped before them (once); whether it has stopped so.
bool Pass::placeStall(xmlParserCtxtPtr context) {
  bool stalled = false;
  const std::string report = encoding.stoppedAt(context, stalled);
  if (!report.empty()) {
    reporter.reportHere(report);
  }
  return stalled;
}

// Looks at the document's first bytes (libxml2 would read them first
// anyway) for an encoding it cannot read.
bool Pass::readable(xmlParserInputPtr input) {
  xmlParserInputGrow(input, 4);
  const std::size_t available = input->end > input->cur ? static_cast<std::size_t>(input->end - input->cur) : 0;
  encoding.documentStarts(std::string_view(chars(input->cur), available < 4 ? available : 4));
  const std::string refusal = encoding.unsupported();
  if (!refusal.empty()) {
    reporter.report({documentUri, 1, 1, refusal});
  }
  return refusal.empty();
}

// The loader then opens only what the document refers to.
xmlParserInputPtr Pass::openMemory() {
  if (memorySize > static_cast<std::size_t>(INT_MAX)) {
    reporter.report({documentUri, 0, 0, "the document is too large to be held in memory"});
    return nullptr;
  }
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateMem(memoryData, static_cast<int>(memorySize), XML_CHAR_ENCODING_NONE);
  if (buffer == nullptr) {
    return nullptr;
  }
  xmlParserInputPtr input = xmlNewIOInputStream(parser, buffer, XML_CHAR_ENCODING_NONE);
  if (input == nullptr) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(documentUri.c_str())));
  return input;
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
