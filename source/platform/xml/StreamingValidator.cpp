#include "platform/xml/StreamingValidator.h"

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/hash.h>
#include <libxml/dict.h>
#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

#include <sys/stat.h>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/ErrorCollector.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

// The values libxml2 keeps in a parser's vctxt.finishDtd before and after
// its checks of the DTD itself, which it makes at the root element. Should
// another libxml2 use others, the root check below simply does not fire
// and libxml2 makes those checks itself, as before.
constexpr unsigned int dtdChecksPending = 0xabcd1234;
constexpr unsigned int dtdChecksDone = 0xabcd1235;

const char* const xsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// Entity references can make a small document stand for gigabytes of text
// (references nested in references, or one large entity referred to many
// times); each one is parsed again. What they stand for in all may exceed
// the allowance only while it stays within a multiple of the document read.
constexpr std::size_t expansionAllowance = std::size_t{32} << 20;
constexpr std::size_t expansionFactor = 10;
// What a reference to an external entity of unknown size counts for.
constexpr std::size_t unknownEntitySize = std::size_t{64} << 10;

// libxml2's hash tables grow by themselves to this many buckets and no further.
constexpr std::size_t largestHashSize = 8 * 2048;

// Text up to this length goes to the schema layer as it comes (see schemaText).
constexpr std::size_t directTextLength = std::size_t{64} << 10;

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

bool isXsiHint(const xmlChar** attribute) {
  return attribute[2] != nullptr && std::strcmp(text(attribute[2]), xsiNamespace) == 0 &&
         (std::strcmp(text(attribute[0]), "schemaLocation") == 0 ||
          std::strcmp(text(attribute[0]), "noNamespaceSchemaLocation") == 0);
}

std::string escaped(const std::string& value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '"': out += "&quot;"; break;
    default: out.push_back(c);
    }
  }
  return out;
}

// A schema that imports each namespace of an xsi:schemaLocation value and
// includes the no-namespace schema.
std::string hintSchema(const std::string& pairs, const std::string& noNamespaceLocation) {
  std::string schema = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
  std::size_t position = 0;
  while (position < pairs.size()) {
    const std::size_t namespaceEnd = pairs.find(' ', position);
    if (namespaceEnd == std::string::npos) {
      break;
    }
    std::size_t locationEnd = pairs.find(' ', namespaceEnd + 1);
    if (locationEnd == std::string::npos) {
      locationEnd = pairs.size();
    }
    schema += "  <xs:import namespace=\"" + escaped(pairs.substr(position, namespaceEnd - position)) +
              "\" schemaLocation=\"" +
              escaped(pairs.substr(namespaceEnd + 1, locationEnd - namespaceEnd - 1)) + "\"/>\n";
    position = locationEnd + 1;
  }
  schema += "  <xs:include schemaLocation=\"" + escaped(noNamespaceLocation) + "\"/>\n</xs:schema>\n";
  return schema;
}

// Swallows what libxml2 would otherwise print on its generic channel.
void discardGenericError(void*, const char*, ...) {}

void discardStructuredError(void*, xmlErrorPtr) {}

// Routes libxml2's thread-wide error channels to one handler for the
// lifetime of the scope, and restores them afterwards.
class ErrorChannels {
public:
  ErrorChannels(void* data, xmlStructuredErrorFunc handler)
      : structured(xmlStructuredError), structuredData(xmlStructuredErrorContext),
        generic(xmlGenericError), genericData(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(data, handler);
    xmlSetGenericErrorFunc(nullptr, discardGenericError);
  }
  ErrorChannels(const ErrorChannels&) = delete;
  ErrorChannels& operator=(const ErrorChannels&) = delete;
  ~ErrorChannels() {
    xmlSetStructuredErrorFunc(structuredData, structured);
    xmlSetGenericErrorFunc(genericData, generic);
  }

private:
  xmlStructuredErrorFunc structured;
  void* structuredData;
  xmlGenericErrorFunc generic;
  void* genericData;
};

// The state of one pass, reachable from every libxml2 callback: the
// parser contexts of entity content share it through _private.
class Pass : public EntityLoader::Position {
public:
  Pass(LoadOptions options, ErrorCollector& errors) : options(options), errors(errors) {}
  Pass(const Pass&) = delete;
  Pass& operator=(const Pass&) = delete;
  ~Pass() { stopSchema(); }

  void run(const std::string& location);
  /// As run, over size bytes at data named location (the base of the
  /// relative references in it).
  void runMemory(const char* data, std::size_t size, const std::string& location);

  ValidationError here() const override;

private:
  xmlParserInputPtr openMemory();

  // The document for runMemory; null when it is opened by name.
  const char* memoryData = nullptr;
  std::size_t memorySize = 0;

  static Pass& of(void* context) {
    return *static_cast<Pass*>(static_cast<xmlParserCtxtPtr>(context)->_private);
  }

  static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                           const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                           int attributeCount, int defaultedCount, const xmlChar** attributes);
  static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                         const xmlChar* uri);
  static void startDocument(void* context);
  static void characters(void* context, const xmlChar* data, int length);
  static void cdataBlock(void* context, const xmlChar* data, int length);
  static xmlEntityPtr getEntity(void* context, const xmlChar* name);
  static xmlEntityPtr getParameterEntity(void* context, const xmlChar* name);
  static void comment(void* context, const xmlChar* value);
  static void processingInstruction(void* context, const xmlChar* target, const xmlChar* data);
  static void ignoreReference(void*, const xmlChar*) {}
  static xmlParserInputPtr resolveEntity(void* context, const xmlChar* publicId, const xmlChar* systemId);
  static void entityDecl(void* context, const xmlChar* name, int type, const xmlChar* publicId,
                         const xmlChar* systemId, xmlChar* content);
  static void parserError(void* context, xmlErrorPtr error);
  static void passError(void* pass, xmlErrorPtr error);
  static int locate(void* pass, const char** file, unsigned long* line);

  void record(const xmlError& error);
  void report(ValidationError error);
  bool dtdValidating() const;
  const xmlChar* qualifiedName(const xmlChar* localName, const xmlChar* prefix);
  const char* currentBase() const;
  void release(xmlParserCtxtPtr ctxt, xmlNodePtr node);
  void releaseAttributes(xmlParserCtxtPtr ctxt, xmlAttrPtr attribute);
  bool validatingContent();
  int declaredType();
  void pushForeignContent();
  void checkNamespaceNames(xmlNodePtr node);
  void checkStandaloneWhitespace(const xmlChar* data, int length);
  void startSchema();
  void startSchemaElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                          int namespaceCount, const xmlChar** namespaces, int attributeCount,
                          int defaultedCount, const xmlChar** attributes);
  void stopSchema();
  bool schemaRunning();
  void chargeExpansion(xmlParserCtxtPtr ctxt, xmlEntityPtr entity);
  void spreadIdTables();
  void schemaText(const xmlChar* data, int length);
  void schemaCdata(const xmlChar* data, int length);
  void endTextRun();
  void dropValidationStack();
  std::string resolveHint(const xmlChar* value, const xmlChar* valueEnd, bool pairs) const;

  LoadOptions options;
  ErrorCollector& errors;
  // The document's URI: the base of its references.
  std::string documentUri;
  EntityLoader::Scope* loads = nullptr;
  xmlParserCtxtPtr parser = nullptr;
  // The context whose callback is running: the parser's, or that of the
  // entity content being parsed; null between callbacks.
  xmlParserCtxtPtr current = nullptr;

  // Makes context the current one for the lifetime of the scope: libxml2
  // frees the contexts of entity content without notice, so none may stay
  // current after its callback.
  class Running {
  public:
    Running(Pass& pass, void* context)
        : pass(pass), previous(pass.current) {
      pass.current = static_cast<xmlParserCtxtPtr>(context);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    ~Running() { pass.current = previous; }

  private:
    Pass& pass;
    xmlParserCtxtPtr previous;
  };

  // Open elements: whether each was pushed to the DTD validation stack, and
  // whether its content model already reported a fault (after the first
  // fault libxml2 flags every later sibling; one report per element is
  // what a reader can act on).
  struct OpenElement {
    xmlNodePtr node = nullptr;
    bool dtdPushed = false;
    bool contentFaultReported = false;
    bool undeclaredReported = false;
    bool standaloneFaultReported = false;
    int declaredType = -1;
    bool declaredExternally = false;
  };
  std::vector<OpenElement> open;
  // While a DTD check runs: the open element it is about, and the one
  // whose content model it checks. libxml2 reports an undeclared element
  // both at its start and at its end; one report is enough.
  std::size_t subject = 0;
  std::size_t contentSubject = 0;
  // While the DTD's own declarations are checked, before the root element.
  bool finishingDtd = false;
  std::string nameBuffer;

  // Schema validation, from the first element with xsi hints to its end.
  XmlPtr<xmlSchemaValidCtxt> schema;
  xmlSchemaSAXPlugPtr schemaPlug = nullptr;
  xmlSAXHandlerPtr schemaHandler = nullptr;
  void* schemaData = nullptr;
  std::size_t schemaRootDepth = 0;
  // Set by an internal error of the schema layer, whose state is then unusable.
  bool schemaFailed = false;
  // The run of text between two tags: what the schema layer has of it, what
  // it is still to get, and whether a blank CDATA section went to it as such.
  std::size_t textRun = 0;
  std::string pendingText;
  bool blankCdataForwarded = false;

  // The bucket counts given to the document's ID and IDREF tables (see
  // spreadIdTables); libxml2 grows them itself up to its largest size.
  std::size_t idBuckets = largestHashSize;
  std::size_t refBuckets = largestHashSize;
  std::size_t elementCount = 0;

  // Bytes of text the entity references so far stand for.
  std::size_t expanded = 0;
  bool expansionRefused = false;
};

bool Pass::dtdValidating() const {
  return parser->validate && parser->wellFormed && parser->myDoc != nullptr &&
         parser->myDoc->intSubset != nullptr;
}

const xmlChar* Pass::qualifiedName(const xmlChar* localName, const xmlChar* prefix) {
  if (prefix == nullptr) {
    return localName;
  }
  nameBuffer.assign(text(prefix));
  nameBuffer.push_back(':');
  nameBuffer.append(text(localName));
  return reinterpret_cast<const xmlChar*>(nameBuffer.c_str());
}

const char* Pass::currentBase() const {
  if (current != nullptr && current->input != nullptr && current->input->filename != nullptr) {
    return current->input->filename;
  }
  if (parser->input != nullptr && parser->input->filename != nullptr) {
    return parser->input->filename;
  }
  return documentUri.c_str();
}

// Schema locations in xsi hints are relative to the entity that holds them;
// libxml2 would take them relative to the current directory, and give up on
// one with a space or a non-ASCII letter.
std::string Pass::resolveHint(const xmlChar* value, const xmlChar* valueEnd, bool pairs) const {
  const std::string hint(text(value), static_cast<std::size_t>(valueEnd - value));
  const std::string base = currentBase();
  std::string resolved;
  std::size_t position = 0;
  bool isLocation = !pairs;
  while (position < hint.size()) {
    const std::size_t start = hint.find_first_not_of(" \t\r\n", position);
    if (start == std::string::npos) {
      break;
    }
    // A no-namespace location is one URI, which may hold spaces of its own;
    // the pairs of schemaLocation are separated by white space.
    std::size_t end = pairs ? hint.find_first_of(" \t\r\n", start) : hint.find_last_not_of(" \t\r\n") + 1;
    if (end == std::string::npos) {
      end = hint.size();
    }
    std::string token = hint.substr(start, end - start);
    if (isLocation) {
      token = loads->resolve(base, token);
    }
    if (!resolved.empty()) {
      resolved.push_back(' ');
    }
    resolved += token;
    if (pairs) {
      isLocation = !isLocation;
    }
    position = end;
  }
  return resolved;
}

void Pass::startSchema() {
  schema.reset(xmlSchemaNewValidCtxt(nullptr));
  if (schema == nullptr) {
    return;
  }
  xmlSchemaSetValidStructuredErrors(schema.get(), passError, this);
  xmlSchemaValidateSetLocator(schema.get(), locate, this);
  schemaHandler = nullptr;
  schemaData = nullptr;
  // A null handler gives the schema layer's direct handlers, which this
  // pass calls itself, in the order it chooses.
  schemaPlug = xmlSchemaSAXPlug(schema.get(), &schemaHandler, &schemaData);
  if (schemaPlug == nullptr) {
    schema.reset();
  }
}

void Pass::stopSchema() {
  if (schemaPlug != nullptr) {
    xmlSchemaSAXUnplug(schemaPlug);
    schemaPlug = nullptr;
  }
  schemaHandler = nullptr;
  schemaData = nullptr;
  schema.reset();
  textRun = 0;
  pendingText.clear();
  blankCdataForwarded = false;
}

// The schema layer adds each piece of an element's text to what it holds by
// measuring that first, so piece by piece a long text costs time quadratic in
// its length. Short runs of text go to it as they come; beyond that, the
// pieces are gathered until they make a quarter of what it already holds.
void Pass::schemaText(const xmlChar* data, int length) {
  const std::size_t size = static_cast<std::size_t>(length);
  if (pendingText.empty() && textRun + size <= directTextLength) {
    textRun += size;
    schemaHandler->characters(schemaData, data, length);
    return;
  }
  pendingText.append(text(data), size);
  if (pendingText.size() * 4 >= textRun || pendingText.size() >= (std::size_t{1} << 28)) {
    const std::string gathered = std::move(pendingText);
    pendingText.clear();
    textRun += gathered.size();
    schemaHandler->characters(schemaData, reinterpret_cast<const xmlChar*>(gathered.data()),
                              static_cast<int>(gathered.size()));
  }
}

// A CDATA section is text to the schema layer, except where only white space
// is allowed: there a blank one is still a fault, which one section per run
// is enough to show.
void Pass::schemaCdata(const xmlChar* data, int length) {
  bool blank = true;
  for (int i = 0; i < length && blank; ++i) {
    blank = IS_BLANK_CH(data[i]);
  }
  if (!blank || blankCdataForwarded) {
    schemaText(data, length);
    return;
  }
  const std::size_t runBefore = textRun + pendingText.size();
  endTextRun();
  blankCdataForwarded = true;
  textRun = runBefore + static_cast<std::size_t>(length);
  if (schemaHandler != nullptr) {
    schemaHandler->cdataBlock(schemaData, data, length);
  }
}

// Hands the gathered text over: a tag ends the run.
void Pass::endTextRun() {
  if (!pendingText.empty() && schemaHandler != nullptr) {
    schemaHandler->characters(schemaData, reinterpret_cast<const xmlChar*>(pendingText.data()),
                              static_cast<int>(pendingText.size()));
  }
  textRun = 0;
  pendingText.clear();
  blankCdataForwarded = false;
}

void Pass::startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                        const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                        int attributeCount, int defaultedCount, const xmlChar** attributes) {
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  Pass& pass = of(context);
  const Running running(pass, context);
  xmlParserCtxtPtr parser = pass.parser;
  const bool entityContent = ctxt != parser;

  // Nodes are built only for the DTD checks, which need the element and its
  // attributes; without a DTD to validate against, the events stream on.
  const bool tree = pass.dtdValidating();
  const xmlNodePtr parent = ctxt->node;
  if (tree && entityContent) {
    // Inside entity content libxml2 parses with a context of its own; its
    // validity checks would run against a tree that this pass does not
    // keep, so they run against the document's validation stack instead.
    const int savedValidate = ctxt->validate;
    const int savedLoadSubset = ctxt->loadsubset;
    ctxt->validate = 0;
    ctxt->loadsubset |= XML_SKIP_IDS;
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces,
                          attributeCount, defaultedCount, attributes);
    ctxt->validate = savedValidate;
    ctxt->loadsubset = savedLoadSubset;
  } else if (tree) {
    pass.subject = pass.open.size();
    const bool root = ctxt->validate && ctxt->vctxt.finishDtd == dtdChecksPending;
    if (root) {
      pass.finishingDtd = true;
      xmlValidateDtdFinal(&ctxt->vctxt, ctxt->myDoc);
      pass.finishingDtd = false;
      ctxt->vctxt.finishDtd = dtdChecksDone;
    }
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces,
                          attributeCount, defaultedCount, attributes);
    if (root && ctxt->validate) {
      ctxt->valid &= xmlValidateRoot(&ctxt->vctxt, ctxt->myDoc);
    }
    // Tables that may spread are looked at once every 1024 elements.
    if ((++pass.elementCount & 1023) == 0) {
      pass.spreadIdTables();
    }
  }

  pass.open.push_back(OpenElement{});
  const xmlNodePtr node = ctxt->node;
  if (tree && node != parent && node != nullptr) {
    OpenElement& element = pass.open.back();
    element.node = node;
    if (pass.dtdValidating()) {
      // A misplaced child is a fault of the parent's content; an undeclared
      // name is the child's own.
      pass.subject = pass.open.size() - 1;
      pass.contentSubject = pass.open.size() - 2;
      element.dtdPushed = true;
      parser->valid &= xmlValidatePushElement(&parser->vctxt, parser->myDoc, node,
                                              pass.qualifiedName(localName, prefix));
      if (!entityContent && node->properties != nullptr) {
        pass.checkNamespaceNames(node);
      }
    }
  }

  if (pass.schema == nullptr && pass.options.validate && pass.options.resolveExternals) {
    for (int i = 0; i < attributeCount; ++i) {
      if (isXsiHint(attributes + 5 * i)) {
        pass.startSchema();
        pass.schemaRootDepth = pass.open.size();
        break;
      }
    }
  }
  if (pass.schemaRunning()) {
    pass.startSchemaElement(localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                            defaultedCount, attributes);
  }
}

// Hands an element start to the schema layer, its xsi hints resolved.
void Pass::startSchemaElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                              int namespaceCount, const xmlChar** namespaces, int attributeCount,
                              int defaultedCount, const xmlChar** attributes) {
  endTextRun();
  int pairsAt = -1;
  int singleAt = -1;
  for (int i = 0; i < attributeCount; ++i) {
    if (isXsiHint(attributes + 5 * i)) {
      (std::strcmp(text(attributes[5 * i]), "schemaLocation") == 0 ? pairsAt : singleAt) = i;
    }
  }
  if (pairsAt < 0 && singleAt < 0) {
    schemaHandler->startElementNs(schemaData, localName, prefix, uri, namespaceCount, namespaces,
                                  attributeCount, defaultedCount, attributes);
    return;
  }
  // The schemas the hints name are read while the schema layer takes this
  // element.
  struct Assembly {
    Assembly(EntityLoader::Scope& loads, bool remote) : loads(loads) { loads.beginSchemaAssembly(remote); }
    Assembly(const Assembly&) = delete;
    Assembly& operator=(const Assembly&) = delete;
    ~Assembly() { loads.endSchemaAssembly(); }
    EntityLoader::Scope& loads;
  } assembly(*loads, isRemoteUrl(currentBase()));
  std::vector<const xmlChar*> forwarded(attributes, attributes + 5 * attributeCount);
  std::string pairs;
  std::string single;
  if (pairsAt >= 0) {
    pairs = resolveHint(attributes[5 * pairsAt + 3], attributes[5 * pairsAt + 4], true);
  }
  if (singleAt >= 0) {
    single = resolveHint(attributes[5 * singleAt + 3], attributes[5 * singleAt + 4], false);
  }
  if (pairsAt >= 0 && singleAt >= 0) {
    // libxml2 reads only one of the two hints of an element: a small schema
    // that includes the no-namespace one and imports the others carries both.
    single = loads->addGeneratedSchema(currentBase(), hintSchema(pairs, single));
    forwarded.erase(forwarded.begin() + 5 * pairsAt, forwarded.begin() + 5 * pairsAt + 5);
    if (pairsAt >= attributeCount - defaultedCount) {
      --defaultedCount;
    }
    --attributeCount;
    if (singleAt > pairsAt) {
      --singleAt;
    }
    pairsAt = -1;
  }
  const auto setValue = [&forwarded](int index, const std::string& value) {
    forwarded[5 * index + 3] = reinterpret_cast<const xmlChar*>(value.c_str());
    forwarded[5 * index + 4] = reinterpret_cast<const xmlChar*>(value.c_str() + value.size());
  };
  if (pairsAt >= 0) {
    setValue(pairsAt, pairs);
  }
  if (singleAt >= 0) {
    setValue(singleAt, single);
  }
  schemaHandler->startElementNs(schemaData, localName, prefix, uri, namespaceCount, namespaces,
                                attributeCount, defaultedCount, forwarded.data());
}

void Pass::endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                      const xmlChar* uri) {
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  Pass& pass = of(context);
  const Running running(pass, context);
  xmlParserCtxtPtr parser = pass.parser;
  const bool entityContent = ctxt != parser;
  const OpenElement element = pass.open.empty() ? OpenElement{} : pass.open.back();
  const xmlNodePtr node = element.node;

  if (node != nullptr) {
    // The element's own checks (declared, required attributes) must run
    // while the validation stack still holds it: libxml2 then leaves the
    // content model to the stack, which has seen the children this pass
    // no longer keeps.
    pass.subject = pass.open.size() - 1;
    pass.contentSubject = pass.subject;
    const int savedValidate = ctxt->validate;
    if (entityContent) {
      ctxt->validate = 0;
    }
    xmlSAX2EndElementNs(context, localName, prefix, uri);
    ctxt->validate = savedValidate;

    if (element.dtdPushed && pass.dtdValidating()) {
      if (entityContent) {
        parser->valid &= xmlValidateElement(&parser->vctxt, parser->myDoc, node);
        pass.checkNamespaceNames(node);
      }
      parser->valid &= xmlValidatePopElement(&parser->vctxt, parser->myDoc, node,
                                             pass.qualifiedName(localName, prefix));
    }
  }

  if (pass.schemaRunning()) {
    pass.endTextRun();
    pass.schemaHandler->endElementNs(pass.schemaData, localName, prefix, uri);
    if (pass.open.size() == pass.schemaRootDepth) {
      pass.stopSchema();
    }
  }
  if (!pass.open.empty()) {
    pass.open.pop_back();
  }

  if (node != nullptr && node != ctxt->node) {
    pass.release(ctxt, node);
  }
}

// How many element, text and attribute structures the parser keeps for
// reuse, as libxml2's reader does.
constexpr int keptStructures = 100;

bool ownedText(xmlParserCtxtPtr ctxt, const xmlChar* text) {
  return text != nullptr && (ctxt->dict == nullptr || !xmlDictOwns(ctxt->dict, text));
}

// Hands a node structure whose contents are released to the parser for its
// next element or text, or frees it when the parser keeps enough.
void recycle(xmlParserCtxtPtr ctxt, xmlNodePtr node) {
  if (ctxt->freeElemsNr < keptStructures) {
    node->next = ctxt->freeElems;
    ctxt->freeElems = node;
    ++ctxt->freeElemsNr;
  } else {
    xmlFree(node);
  }
}

// Frees an element whose end tag has passed; its structures are kept for
// libxml2 to reuse, which saves an allocation and a release for nearly
// every element of a document.
void Pass::release(xmlParserCtxtPtr ctxt, xmlNodePtr node) {
  xmlUnlinkNode(node);
  if (ctxt != parser || node->children != nullptr) {
    xmlFreeNode(node);
    return;
  }
  if (node->properties != nullptr) {
    releaseAttributes(ctxt, node->properties);
  }
  if (node->nsDef != nullptr) {
    xmlFreeNsList(node->nsDef);
  }
  if (ownedText(ctxt, node->name)) {
    xmlFree(const_cast<xmlChar*>(node->name));
  }
  recycle(ctxt, node);
}

void copyHashEntry(void* payload, void* table, const xmlChar* name, const xmlChar* name2,
                   const xmlChar* name3) {
  xmlHashAddEntry3(static_cast<xmlHashTablePtr>(table), name, name2, name3, payload);
}

// Moves table to four times as many buckets once it holds four entries per
// bucket; its payloads move along.
void spread(void*& table, std::size_t& buckets) {
  xmlHashTablePtr full = static_cast<xmlHashTablePtr>(table);
  if (full == nullptr || static_cast<std::size_t>(xmlHashSize(full)) <= 4 * buckets ||
      buckets > (std::size_t{1} << 26)) {
    return;
  }
  xmlHashTablePtr spread = xmlHashCreate(static_cast<int>(4 * buckets));
  if (spread == nullptr) {
    return;
  }
  xmlHashScanFull(full, copyHashEntry, spread);
  if (xmlHashSize(spread) != xmlHashSize(full)) {
    xmlHashFree(spread, nullptr);
    return;
  }
  xmlHashFree(full, nullptr);
  table = spread;
  buckets *= 4;
}

// Past its largest size, every entry added to a libxml2 hash table walks
// chains that grow with the table, so tracking millions of IDs and IDREFs
// would take time quadratic in their number; spread over more buckets it
// stays linear.
void Pass::spreadIdTables() {
  if (parser->myDoc != nullptr) {
    spread(parser->myDoc->ids, idBuckets);
    spread(parser->myDoc->refs, refBuckets);
  }
}

// Attributes and the text nodes of their values go back to the parser too,
// which takes them for the next attributes instead of allocating new ones.
// IDs need no removal: in reader mode the ID table keeps values, not
// attributes.
void Pass::releaseAttributes(xmlParserCtxtPtr ctxt, xmlAttrPtr attribute) {
  while (attribute != nullptr) {
    const xmlAttrPtr next = attribute->next;
    xmlNodePtr child = attribute->children;
    while (child != nullptr) {
      const xmlNodePtr nextChild = child->next;
      if (child->type != XML_TEXT_NODE || child->children != nullptr) {
        xmlFreeNode(child);
      } else {
        // A short value lives in the node itself (XML_PARSE_COMPACT).
        if (child->content != reinterpret_cast<xmlChar*>(&child->properties) &&
            ownedText(ctxt, child->content)) {
          xmlFree(child->content);
        }
        recycle(ctxt, child);
      }
      child = nextChild;
    }
    if (ownedText(ctxt, attribute->name)) {
      xmlFree(const_cast<xmlChar*>(attribute->name));
    }
    if (ctxt->freeAttrsNr < keptStructures) {
      attribute->next = ctxt->freeAttrs;
      ctxt->freeAttrs = attribute;
      ++ctxt->freeAttrsNr;
    } else {
      xmlFree(attribute);
    }
    attribute = next;
  }
}

void Pass::startDocument(void* context) {
  xmlSAX2StartDocument(context);
  xmlParserCtxtPtr ctxt = static_cast<xmlParserCtxtPtr>(context);
  // libxml2 would key these tables through the document's dictionary,
  // whose lookups slow down sharply as millions of distinct IDs arrive;
  // plain tables keep ID and IDREF tracking linear.
  if (ctxt->myDoc != nullptr && ctxt->myDoc->ids == nullptr) {
    ctxt->myDoc->ids = xmlHashCreate(0);
  }
  if (ctxt->myDoc != nullptr && ctxt->myDoc->refs == nullptr) {
    ctxt->myDoc->refs = xmlHashCreate(0);
  }
}

// No text nodes are built: the DTD stack and the schema layer see the text
// as it streams by. Keeping entity content free of nodes also makes libxml2
// parse every reference to an entity again, so each one is validated.
void Pass::characters(void* context, const xmlChar* data, int length) {
  Pass& pass = of(context);
  const Running running(pass, context);
  if (pass.validatingContent()) {
    pass.checkStandaloneWhitespace(data, length);
    pass.parser->valid &= xmlValidatePushCData(&pass.parser->vctxt, data, length);
  }
  if (pass.schemaRunning()) {
    pass.schemaText(data, length);
  }
}

void Pass::cdataBlock(void* context, const xmlChar* data, int length) {
  Pass& pass = of(context);
  const Running running(pass, context);
  if (pass.validatingContent()) {
    // A CDATA section is text even when it is empty or only white space,
    // which libxml2's stream check would let pass in element content.
    const int type = pass.declaredType();
    if (type == XML_ELEMENT_TYPE_EMPTY || type == XML_ELEMENT_TYPE_ELEMENT) {
      pass.pushForeignContent();
    } else {
      pass.parser->valid &= xmlValidatePushCData(&pass.parser->vctxt, data, length);
    }
  }
  if (pass.schemaRunning()) {
    pass.schemaCdata(data, length);
  }
}

// A comment or processing instruction is content: an element declared
// EMPTY may not hold one.
void Pass::comment(void* context, const xmlChar*) {
  Pass& pass = of(context);
  const Running running(pass, context);
  if (pass.validatingContent() && pass.declaredType() == XML_ELEMENT_TYPE_EMPTY) {
    pass.pushForeignContent();
  }
}

void Pass::processingInstruction(void* context, const xmlChar*, const xmlChar*) {
  comment(context, nullptr);
}

// A reference to an entity is content too, even when the entity is empty.
// While a start tag is read the element is not open yet, so a reference in
// an attribute value is never taken for content here.
xmlEntityPtr Pass::getEntity(void* context, const xmlChar* name) {
  Pass& pass = of(context);
  const Running running(pass, context);
  if (pass.validatingContent() && pass.declaredType() == XML_ELEMENT_TYPE_EMPTY) {
    pass.pushForeignContent();
  }
  xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
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
    name = pass.loads->resolve(EntityLoader::baseOf(ctxt), text(systemId));
  }
  return xmlLoadExternalEntity(systemId != nullptr ? name.c_str() : nullptr, text(publicId), ctxt);
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
  const std::string uri = pass.loads->resolve(EntityLoader::baseOf(ctxt), text(systemId));
  xmlFree(const_cast<xmlChar*>(entity->URI));
  entity->URI = xmlStrdup(reinterpret_cast<const xmlChar*>(uri.c_str()));
}

xmlEntityPtr Pass::getParameterEntity(void* context, const xmlChar* name) {
  Pass& pass = of(context);
  xmlEntityPtr entity = xmlSAX2GetParameterEntity(context, name);
  pass.chargeExpansion(static_cast<xmlParserCtxtPtr>(context), entity);
  return entity;
}

// Counts what a reference to entity stands for, and ends the pass once the
// references stand for too much: the report names the first reference over
// the limit, and every parser in the pass stops.
void Pass::chargeExpansion(xmlParserCtxtPtr ctxt, xmlEntityPtr entity) {
  if (expansionRefused) {
    xmlStopParser(ctxt);
    ctxt->wellFormed = 0;
    return;
  }
  if (entity == nullptr) {
    return;
  }
  switch (entity->etype) {
  case XML_INTERNAL_GENERAL_ENTITY:
  case XML_INTERNAL_PARAMETER_ENTITY:
    expanded += static_cast<std::size_t>(entity->length > 0 ? entity->length : 0);
    break;
  case XML_EXTERNAL_GENERAL_PARSED_ENTITY:
  case XML_EXTERNAL_PARAMETER_ENTITY: {
    const xmlChar* location = entity->URI != nullptr ? entity->URI : entity->SystemID;
    const std::size_t size = location != nullptr && loads != nullptr
                                 ? loads->entitySize(text(location), unknownEntitySize)
                                 : unknownEntitySize;
    expanded += size;
    break;
  }
  default:
    return; // predefined and unparsed entities stand for no text to parse
  }
  const xmlParserInputPtr document = parser->inputNr > 0 ? parser->inputTab[0] : nullptr;
  const std::size_t read = document == nullptr
                               ? 0
                               : static_cast<std::size_t>(document->consumed) +
                                     static_cast<std::size_t>(document->cur - document->base);
  if (expanded <= expansionAllowance || expanded / expansionFactor <= read) {
    return;
  }
  expansionRefused = true;
  const Running running(*this, ctxt);
  ValidationError error = here();
  error.message = "Excessive entity expansion: the entity references stand for more than " +
                  std::to_string(expansionAllowance >> 20) + " MB of text and more than " +
                  std::to_string(expansionFactor) + " times the document read so far";
  report(std::move(error));
  for (xmlParserCtxtPtr stopped : {ctxt, parser}) {
    xmlStopParser(stopped);
    stopped->wellFormed = 0;
  }
}

// Namespaces require the values of ID, IDREF(S), ENTITY(IES) and NOTATION
// attributes to be names without a colon; libxml2 checks only XML names.
void Pass::checkNamespaceNames(xmlNodePtr node) {
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    switch (attribute->atype) {
    case XML_ATTRIBUTE_ID:
    case XML_ATTRIBUTE_IDREF:
    case XML_ATTRIBUTE_IDREFS:
    case XML_ATTRIBUTE_ENTITY:
    case XML_ATTRIBUTE_ENTITIES:
    case XML_ATTRIBUTE_NOTATION:
      break;
    default:
      continue;
    }
    const xmlNodePtr value = attribute->children;
    if (value == nullptr || value->content == nullptr ||
        std::strchr(text(value->content), ':') == nullptr) {
      continue;
    }
    ValidationError error = here();
    error.message = std::string("Value of attribute ") + text(attribute->name) + " of element " +
                    text(node->name) + " is not a name without a colon (NCName): '" +
                    text(value->content) + "'";
    report(std::move(error));
  }
}

bool Pass::validatingContent() {
  if (open.empty() || !open.back().dtdPushed || !dtdValidating()) {
    return false;
  }
  contentSubject = open.size() - 1;
  return true;
}

// The declared content type of the innermost open element, looked up once
// and only when needed; 0 when it is not declared.
int Pass::declaredType() {
  OpenElement& element = open.back();
  if (element.declaredType < 0) {
    element.declaredType = 0;
    const xmlNodePtr node = element.node;
    const xmlChar* prefix = node->ns != nullptr ? node->ns->prefix : nullptr;
    for (xmlDtdPtr dtd : {parser->myDoc->intSubset, parser->myDoc->extSubset}) {
      if (dtd == nullptr) {
        continue;
      }
      xmlElementPtr declaration = prefix != nullptr ? xmlGetDtdQElementDesc(dtd, node->name, prefix) : nullptr;
      if (declaration == nullptr) {
        declaration = xmlGetDtdElementDesc(dtd, node->name);
      }
      if (declaration != nullptr) {
        element.declaredType = declaration->etype;
        element.declaredExternally = dtd == parser->myDoc->extSubset;
        break;
      }
    }
  }
  return element.declaredType;
}

// Lets libxml2 report content where none is allowed, in its own words: one
// character that is not white space is what its stream check looks at.
void Pass::pushForeignContent() {
  parser->valid &= xmlValidatePushCData(&parser->vctxt, reinterpret_cast<const xmlChar*>("x"), 1);
}

// In a standalone document, white space may not stand directly in an
// element whose element-only content is declared in the external subset
// (that declaration decides whether the white space is data). libxml2 makes
// this check only on a tree.
void Pass::checkStandaloneWhitespace(const xmlChar* data, int length) {
  if (parser->myDoc->standalone != 1 || open.back().standaloneFaultReported) {
    return;
  }
  for (int i = 0; i < length; ++i) {
    if (!IS_BLANK_CH(data[i])) {
      return;
    }
  }
  if (declaredType() != XML_ELEMENT_TYPE_ELEMENT || !open.back().declaredExternally) {
    return;
  }
  open.back().standaloneFaultReported = true;
  ValidationError error = here();
  error.message = std::string("standalone: ") + text(open.back().node->name) +
                  " declared in the external subset contains white spaces nodes";
  report(std::move(error));
}

ValidationError Pass::here() const {
  ValidationError position;
  position.location = currentBase();
  const xmlParserCtxt* ctxt = current != nullptr ? current : parser;
  if (ctxt != nullptr && ctxt->input != nullptr) {
    position.line = ctxt->input->line;
    position.column = ctxt->input->col;
  }
  return position;
}

int Pass::locate(void* data, const char** file, unsigned long* line) {
  Pass& pass = *static_cast<Pass*>(data);
  xmlParserCtxtPtr ctxt = pass.current != nullptr ? pass.current : pass.parser;
  *file = pass.currentBase();
  *line = ctxt->input != nullptr ? static_cast<unsigned long>(ctxt->input->line) : 0;
  return 0;
}

void Pass::parserError(void* context, xmlErrorPtr error) {
  if (error != nullptr) {
    Pass& pass = of(context);
    const Running running(pass, context);
    pass.record(*error);
  }
}

void Pass::passError(void* pass, xmlErrorPtr error) {
  if (error != nullptr) {
    static_cast<Pass*>(pass)->record(*error);
  }
}

void Pass::record(const xmlError& error) {
  if (loads != nullptr && loads->readingCatalog()) {
    return; // a catalog that cannot be read is skipped; the lookup goes on without it
  }
  if (error.domain == XML_FROM_SCHEMASV && error.code == XML_SCHEMAV_INTERNAL) {
    schemaFailed = true;
  }
  if (error.level == XML_ERR_WARNING) {
    // A resource that could not be loaded is a failure, even where libxml2
    // only warns (a hinted schema, an entity outside validation).
    const bool unloadable = error.domain == XML_FROM_IO ||
                            (error.domain == XML_FROM_SCHEMASP && error.code == XML_SCHEMAP_FAILED_LOAD);
    if (!unloadable) {
      return;
    }
  }
  if (error.level == XML_ERR_NONE) {
    return;
  }
  if (error.domain == XML_FROM_PARSER && error.code == XML_ERR_INVALID_URI) {
    // A system literal with a space or a non-ASCII letter names a file all
    // the same: the loader escapes those characters, as XML 1.0 asks.
    return;
  }
  if (error.domain == XML_FROM_SCHEMASP && loads != nullptr && error.message != nullptr &&
      loads->mentionsRefused(error.message)) {
    return; // the refusal itself has been reported, with its reason
  }
  if (error.domain == XML_FROM_PARSER && error.code == XML_ERR_INTERNAL_ERROR && loads != nullptr &&
      loads->refusedAny() && error.str1 != nullptr &&
      std::strcmp(error.str1, "xmlLoadEntityContent input error") == 0) {
    return; // libxml2's echo of an entity the loader refused
  }
  if (error.code == XML_DTD_NO_DTD && loads != nullptr && loads->refusedAny()) {
    return; // the DTD that could not be loaded has been reported already
  }
  if (error.code == XML_DTD_NO_DTD &&
      (parser == nullptr || parser->myDoc == nullptr ||
       (parser->myDoc->intSubset == nullptr && parser->myDoc->extSubset == nullptr))) {
    return; // DTD validation is asked for on every load; no DOCTYPE, no DTD to check.
  }
  if (finishingDtd && error.domain == XML_FROM_VALID &&
      (error.code == XML_DTD_UNKNOWN_ENTITY || error.code == XML_DTD_ENTITY_TYPE)) {
    // The DTD's own check flags an ENTITY default that names no unparsed
    // entity even when no element ever takes the default; defaults that are
    // taken are checked on their element, as attributes in their own right.
    return;
  }
  if (error.domain == XML_FROM_VALID && error.code == XML_DTD_CONTENT_MODEL &&
      contentSubject < open.size()) {
    if (open[contentSubject].contentFaultReported) {
      return;
    }
    open[contentSubject].contentFaultReported = true;
  }
  if (error.domain == XML_FROM_VALID && error.code == XML_DTD_UNKNOWN_ELEM && subject < open.size()) {
    if (open[subject].undeclaredReported) {
      return;
    }
    open[subject].undeclaredReported = true;
  }

  ValidationError problem;
  if (error.file != nullptr) {
    problem.location = error.file;
    problem.line = error.line;
    problem.column = error.int2;
  } else if (parser != nullptr && parser->input != nullptr && parser->input->filename != nullptr) {
    // Raised inside the text of an internal entity, which has no location
    // of its own: report it where the entity was referred to.
    problem.location = parser->input->filename;
    problem.line = parser->input->line;
    problem.column = parser->input->col;
  } else {
    problem.location = currentBase();
    problem.line = error.line;
    problem.column = error.int2;
  }
  if (error.domain == XML_FROM_VALID && error.code == XML_DTD_UNKNOWN_ID && error.node == nullptr &&
      error.int1 > 0) {
    problem.line = error.int1; // the line of the reference, not the end of the document
    problem.column = 0;
  }
  if (error.domain == XML_FROM_SCHEMASV && problem.column == 0 && current != nullptr &&
      current->input != nullptr && problem.line == current->input->line) {
    problem.column = current->input->col;
  }
  problem.message = error.message != nullptr ? error.message : "unknown error";
  while (!problem.message.empty() &&
         (problem.message.back() == '\n' || problem.message.back() == '\r' || problem.message.back() == ' ')) {
    problem.message.pop_back();
  }
  for (char& c : problem.message) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  if (loads != nullptr) {
    // libxml2 quotes the documents it names by the URIs the loader gave
    // them; a reader knows local files by their paths.
    for (std::size_t start = problem.message.find("'file://"); start != std::string::npos;
         start = problem.message.find("'file://", start + 1)) {
      const std::size_t end = problem.message.find('\'', start + 1);
      if (end == std::string::npos) {
        break;
      }
      const std::string shown = loads->display(problem.message.substr(start + 1, end - start - 1));
      problem.message.replace(start + 1, end - start - 1, shown);
    }
  }
  report(std::move(problem));
}

void Pass::report(ValidationError error) {
  if (loads != nullptr) {
    loads->report(std::move(error));
  } else {
    errors.add(std::move(error));
  }
}

void Pass::run(const std::string& location) {
  const std::string directory = EntityLoader::currentDirectory();
  struct stat status {};
  const bool exists = memoryData != nullptr || lstat(location.c_str(), &status) == 0;
  const ResourceName document = nameArgument(location, directory, exists);
  documentUri = document.uri;
  // Reports name local files the way the user named the document.
  const bool relative = document.isLocal() && document.path == location && location.compare(0, 1, "/") != 0;
  EntityLoader::Scope scope(errors, options.resolveExternals, *this,
                            ResourceDisplay(document, location, relative ? directory : ""));
  loads = &scope;
  ErrorChannels channels(this, passError);

  XmlPtr<xmlParserCtxt> context(xmlNewParserCtxt());
  if (context == nullptr) {
    errors.add({location, 0, 0, "out of memory while setting up the parser"});
    return;
  }
  parser = context.get();
  parser->_private = this;

  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof handler);
  xmlSAXVersion(&handler, 2);
  handler.startDocument = startDocument;
  handler.startElementNs = startElement;
  handler.endElementNs = endElement;
  handler.characters = characters;
  handler.ignorableWhitespace = characters;
  handler.cdataBlock = cdataBlock;
  handler.getEntity = getEntity;
  handler.getParameterEntity = getParameterEntity;
  handler.comment = comment;
  handler.processingInstruction = processingInstruction;
  handler.reference = ignoreReference;
  handler.resolveEntity = resolveEntity;
  handler.entityDecl = entityDecl;
  handler.serror = parserError;
  handler.warning = nullptr;
  handler.error = nullptr;
  handler.fatalError = nullptr;
  *parser->sax = handler;
  parser->userData = parser;

  // COMPACT keeps short attribute values inside their text node: no
  // allocation per attribute.
  int flags = XML_PARSE_NOENT | XML_PARSE_COMPACT;
  if (options.resolveExternals) {
    flags |= XML_PARSE_DTDLOAD;
  }
  if (options.validate) {
    // Defaulted attributes are validated on each element that takes them.
    flags |= XML_PARSE_DTDVALID | XML_PARSE_DTDATTR;
  }
  xmlCtxtUseOptions(parser, flags);
  // Reader mode keeps IDs and IDREFs by value, so freeing each element at
  // its end tag does not lose them.
  parser->parseMode = XML_PARSE_READER;
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
  xmlParseDocument(parser);
  stopSchema();
  dropValidationStack();

  if (errors.empty() && !parser->wellFormed) {
    errors.add({location, 0, 0, "the document is not well-formed"});
  }
  parser = nullptr;
  loads = nullptr;
}

// Whether the schema layer takes events. After an internal error it has no
// element to give them to (libxml2 would stop a parser that it drives itself,
// which this pass's is not), so the schema validation ends there; the error
// itself has been reported.
bool Pass::schemaRunning() {
  if (schemaFailed) {
    stopSchema();
    schemaFailed = false;
  }
  return schemaHandler != nullptr;
}

// libxml2 leaves the DTD validation stack of a push validation to its user:
// the states of the elements that a broken document left open, and the
// stack itself.
void Pass::dropValidationStack() {
  xmlValidCtxt& validation = parser->vctxt;
  if (validation.vstateNr > 0) {
    // The checks of the open elements would only echo the document's own
    // errors; nothing of them is reported.
    const ErrorChannels silent(nullptr, discardStructuredError);
    const xmlStructuredErrorFunc parserChannel = parser->sax->serror;
    parser->sax->serror = nullptr;
    validation.error = nullptr;
    validation.warning = nullptr;
    while (validation.vstateNr > 0) {
      xmlValidatePopElement(&validation, parser->myDoc, nullptr, nullptr);
    }
    parser->sax->serror = parserChannel;
  }
  xmlFree(validation.vstateTab);
  validation.vstateTab = nullptr;
  validation.vstateMax = 0;
}

void Pass::runMemory(const char* data, std::size_t size, const std::string& location) {
  memoryData = data;
  memorySize = size;
  run(location);
}

// The loader then opens only what the document refers to.
xmlParserInputPtr Pass::openMemory() {
  if (memorySize > static_cast<std::size_t>(INT_MAX)) {
    report({documentUri, 0, 0, "the document is too large to be held in memory"});
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
  pass.run(location);
}

void StreamingValidator::runMemory(const char* data, std::size_t size, const std::string& name,
                                   ErrorCollector& errors) const {
  Pass pass(options, errors);
  pass.runMemory(data, size, name);
}

} // namespace platform::xml
