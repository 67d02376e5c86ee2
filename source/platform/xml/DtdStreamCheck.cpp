#include "platform/xml/DtdStreamCheck.h"

#include <cstring>
#include <string>
#include <string_view>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include "platform/xml/LoadReporter.h"

namespace platform::xml {

namespace {

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

} // namespace

DtdStreamCheck::DtdStreamCheck(LoadReporter& reporter) : reporter(reporter) {}

DtdStreamCheck::~DtdStreamCheck() = default;

bool DtdStreamCheck::validating() const {
  return internals::validates(parser) && parser->wellFormed && parser->myDoc != nullptr &&
         parser->myDoc->intSubset != nullptr;
}

const xmlChar* DtdStreamCheck::qualifiedName(const xmlChar* localName, const xmlChar* prefix) {
  if (prefix == nullptr) {
    return localName;
  }
  nameBuffer.assign(text(prefix));
  nameBuffer.push_back(':');
  nameBuffer.append(text(localName));
  return reinterpret_cast<const xmlChar*>(nameBuffer.c_str());
}

void DtdStreamCheck::startDocument(xmlParserCtxtPtr context) { internals::plainIdTables(context->myDoc); }

// Nodes are built only for the DTD checks, which need the element and its
// attributes; without a DTD to validate against, the events stream on.
void DtdStreamCheck::startElement(xmlParserCtxtPtr context, const ElementStart& element) {
  if (inert || (open.empty() && context == parser && !validating())) {
    inert = true; // a root without a DTD to validate against: none can follow
    ++inertDepth;
    return;
  }
  const bool tree = validating();
  if (tree && startLight(context, element)) {
    return;
  }
  const xmlNodePtr parent = context->node;
  if (tree) {
    startInTree(context, element);
  }
  open.push_back(OpenElement{});
  const xmlNodePtr node = context->node;
  if (!tree || node == parent || node == nullptr) {
    return;
  }
  OpenElement& opened = open.back();
  opened.node = node;
  if (validating()) {
    // A misplaced child is a fault of the parent's content; an undeclared
    // name is the child's own.
    subject = open.size() - 1;
    contentSubject = open.size() - 2;
    opened.dtdPushed = true;
    parser->valid &= xmlValidatePushElement(&parser->vctxt, parser->myDoc, node,
                                            qualifiedName(element.localName, element.prefix));
    checkDeclared(node);
    internals::registerEntityTextIds(context, node);
    takeIds();
    if (internals::startTagDeclaresXmlPrefix(context, element.attributeCount > 0 ? element.attributes[3] : nullptr)) {
      checkXmlPrefixDeclared(node);
    }
    if (context == parser && node->properties != nullptr) {
      checkNamespaceNames(node);
    }
  }
}

// A start tag that the DTD's rules admit is validated without a node: the
// validation stack takes a stand-in that names the element, and its IDs and
// references go to the registry at once. Only in the document's own text
// (entity text is read with inputs or parsers of its own), below the root
// (whose start finishes the DTD) and outside a standalone document (whose
// values the pass may have normalized).
bool DtdStreamCheck::startLight(xmlParserCtxtPtr context, const ElementStart& element) {
  if (context != parser || open.empty() || !rules || parser->inputNr != 1 || parser->myDoc->standalone == 1 ||
      !rules->admits(element, tagIds)) {
    return false;
  }
  for (const ElementRules::IdValue& value : tagIds) {
    if (!value.id) {
      ids.refer(value.value, value.attribute, parser->input->line);
    } else if (!ids.declare(value.value)) {
      reportDuplicate(std::string(value.value));
    }
  }
  open.push_back(OpenElement{});
  OpenElement& opened = open.back();
  opened.node = lightNode(open.size() - 1, element.localName);
  opened.light = true;
  opened.dtdPushed = true;
  subject = open.size() - 1;
  contentSubject = open.size() - 2;
  parser->valid &= xmlValidatePushElement(&parser->vctxt, parser->myDoc, opened.node, element.localName);
  if (internals::startTagDeclaresXmlPrefix(context, element.attributeCount > 0 ? element.attributes[3] : nullptr)) {
    checkXmlPrefixDeclared(opened.node);
  }
  return true;
}

// What libxml2's messages and placement read of an element node.
xmlNodePtr DtdStreamCheck::lightNode(std::size_t depth, const xmlChar* name) {
  while (lightNodes.size() <= depth) {
    lightNodes.push_back(std::make_unique<xmlNode>());
    lightNodes.back()->type = XML_ELEMENT_NODE;
    lightNodes.back()->doc = parser->myDoc;
  }
  xmlNode& node = *lightNodes[depth];
  node.name = name;
  node.line = static_cast<unsigned short>(parser->input->line < 65535 ? parser->input->line : 65535); // as libxml2
  return &node;
}

// Builds the element's node. Inside entity content libxml2 parses with a
// context of its own, whose checks would run against a tree this pass does
// not keep: they run against the document's validation stack instead.
void DtdStreamCheck::startInTree(xmlParserCtxtPtr context, const ElementStart& element) {
  const auto build = [&] {
    xmlSAX2StartElementNs(context, element.localName, element.prefix, element.uri, element.namespaceCount,
                          element.namespaces, element.attributeCount, element.defaultedCount,
                          element.attributes);
  };
  if (context != parser) {
    const internals::EntityContentChecksOff checksOff(context);
    build();
    return;
  }
  subject = open.size();
  const bool root = open.empty() && internals::dtdChecksPending(context);
  if (root) {
    finishingDtd = true;
    xmlValidateDtdFinal(&context->vctxt, context->myDoc);
    finishingDtd = false;
    rules.emplace(context->myDoc);
    internals::dtdChecksMade(context);
  }
  build();
  takeIds();
  if (root && internals::validates(context)) {
    context->valid &= xmlValidateRoot(&context->vctxt, context->myDoc);
  }
}

// libxml2 has just recorded the IDs and references of an element (or of
// the elements of an entity's text): they move to the registry, which
// finds the duplicates libxml2 would have found in a table it kept whole.
void DtdStreamCheck::takeIds() {
  internals::takeRecordedIds(
      parser->myDoc,
      [this](const char* id) {
        if (!ids.declare(id)) {
          reportDuplicate(id);
        }
      },
      [this](const char* value, const char* attribute, int line) {
        // libxml2 keeps lines up to 65534 in a node; the element was read
        // where the parser stands.
        const xmlParserInput* input = line < 65535 ? nullptr : internals::innermostNamedInput(parser);
        ids.refer(value, attribute, input != nullptr ? input->line : line);
      });
}

void DtdStreamCheck::reportDuplicate(const std::string& id) {
  reportAsLibxml(XML_DTD_ID_REDEFINED, "ID " + id + " already defined\n", id.c_str(), 0);
}

// libxml2's final check, on what it no longer keeps, in its words; each
// name is placed at its reference's line.
void DtdStreamCheck::endDocument(xmlParserCtxtPtr context) {
  if (context != parser || !validating() || ids.waiting() == 0) {
    return;
  }
  ids.forEachDangling([this](const std::string& attribute, int line, std::string_view name) {
    const std::string id(name);
    reportAsLibxml(XML_DTD_UNKNOWN_ID,
                   "attribute " + attribute + " line " + std::to_string(line) + " references an unknown ID \"" +
                       id + "\"\n",
                   id.c_str(), line);
  });
}

// Raises a validity error as libxml2 raises its own through the document's
// parser: placed where that parser stands (line, when not 0, is where the
// report puts it), through the same channel, so that it is filtered and
// placed as libxml2's are.
void DtdStreamCheck::reportAsLibxml(int code, const std::string& message, const char* name, int line) {
  xmlError error;
  std::memset(&error, 0, sizeof error);
  error.domain = XML_FROM_VALID;
  error.code = code;
  error.level = XML_ERR_ERROR;
  error.message = const_cast<char*>(message.c_str());
  error.str1 = const_cast<char*>(name);
  if (const xmlParserInput* input = internals::innermostNamedInput(parser)) {
    error.file = const_cast<char*>(input->filename);
    error.line = input->line;
    error.int2 = input->col;
  }
  error.int1 = line;
  error.node = line == 0 && !open.empty() ? open.back().node : nullptr;
  parser->valid = 0;
  if (parser->sax != nullptr && parser->sax->serror != nullptr) {
    parser->sax->serror(parser->userData, &error);
  }
}

// The element's own checks (declared, required attributes) must run while
// the validation stack still holds it: libxml2 then leaves the content model
// to the stack, which has seen the children this pass no longer keeps.
void DtdStreamCheck::endElement(xmlParserCtxtPtr context, const xmlChar* localName, const xmlChar* prefix,
                                const xmlChar* uri) {
  if (inert) {
    return;
  }
  const OpenElement element = open.empty() ? OpenElement{} : open.back();
  if (element.node == nullptr) {
    return;
  }
  subject = open.size() - 1;
  contentSubject = subject;
  if (element.light) {
    if (validating()) {
      parser->valid &= xmlValidatePopElement(&parser->vctxt, parser->myDoc, element.node, localName);
    }
    return;
  }
  if (context != parser) {
    const internals::EntityContentChecksOff checksOff(context);
    xmlSAX2EndElementNs(context, localName, prefix, uri);
  } else {
    xmlSAX2EndElementNs(context, localName, prefix, uri);
  }
  if (element.dtdPushed && validating()) {
    if (context != parser) {
      parser->valid &= xmlValidateElement(&parser->vctxt, parser->myDoc, element.node);
      takeIds();
      checkNamespaceNames(element.node);
    }
    parser->valid &= xmlValidatePopElement(&parser->vctxt, parser->myDoc, element.node,
                                           qualifiedName(localName, prefix));
  }
}

void DtdStreamCheck::closeElement(xmlParserCtxtPtr context) {
  if (inert || open.empty()) {
    inertDepth -= inertDepth > 0 ? 1 : 0;
    return;
  }
  const xmlNodePtr node = open.back().node;
  const bool light = open.back().light;
  open.pop_back();
  if (node != nullptr && !light && node != context->node) {
    internals::releaseElement(parser, context, node);
  }
}

bool DtdStreamCheck::blank(const xmlChar* data, int length) {
  for (int i = 0; i < length; ++i) {
    if (!IS_BLANK_CH(data[i])) {
      return false;
    }
  }
  return true;
}

// No text nodes are built: the DTD stack sees the text as it streams by.
// White space written as a character reference is not white space in
// element-only content, which libxml2's stream check cannot tell.
void DtdStreamCheck::characters(xmlParserCtxtPtr context, const xmlChar* data, int length) {
  if (!validatingContent()) {
    return;
  }
  if (!blank(data, length)) {
    parser->valid &= xmlValidatePushCData(&parser->vctxt, data, length);
  } else if (internals::atCharacterReference(context, data) && declaredType() == XML_ELEMENT_TYPE_ELEMENT) {
    pushForeignContent();
  } else {
    checkStandaloneWhitespace();
    parser->valid &= xmlValidatePushCData(&parser->vctxt, data, length);
  }
}

// A CDATA section is text even when it is empty or only white space, which
// libxml2's stream check would let pass in element content.
void DtdStreamCheck::cdata(xmlParserCtxtPtr, const xmlChar* data, int length) {
  if (!validatingContent()) {
    return;
  }
  const int type = declaredType();
  if (type == XML_ELEMENT_TYPE_EMPTY || type == XML_ELEMENT_TYPE_ELEMENT) {
    pushForeignContent();
  } else {
    parser->valid &= xmlValidatePushCData(&parser->vctxt, data, length);
  }
}

// A comment, a processing instruction or a reference to an entity (even an
// empty one) is content: an element declared EMPTY may not hold one. While
// a start tag is read the element is not open yet, so a reference in an
// attribute value is never taken for content here.
void DtdStreamCheck::markup() {
  if (validatingContent() && declaredType() == XML_ELEMENT_TYPE_EMPTY) {
    pushForeignContent();
  }
}

bool DtdStreamCheck::suppresses(const xmlError& error) {
  if (error.domain != XML_FROM_VALID) {
    return false;
  }
  if (finishingDtd && (error.code == XML_DTD_UNKNOWN_ENTITY || error.code == XML_DTD_ENTITY_TYPE)) {
    // The DTD's own check flags an ENTITY default that names no unparsed
    // entity even when no element ever takes the default; defaults that are
    // taken are checked on their element, as attributes in their own right.
    return true;
  }
  const auto once = [this](std::size_t index, bool OpenElement::*reported) {
    if (index >= open.size()) {
      return false;
    }
    const bool repeated = open[index].*reported;
    open[index].*reported = true;
    return repeated;
  };
  if (error.code == XML_DTD_CONTENT_MODEL) {
    return once(contentSubject, &OpenElement::contentFaultReported);
  }
  if (error.code == XML_DTD_UNKNOWN_ELEM) {
    return once(subject, &OpenElement::undeclaredReported);
  }
  return false;
}

// Namespaces require the values of ID, IDREF(S), ENTITY(IES) and NOTATION
// attributes to be names without a colon; libxml2 checks only XML names.
void DtdStreamCheck::checkNamespaceNames(xmlNodePtr node) {
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
    reporter.reportHere(std::string("Value of attribute ") + text(attribute->name) + " of element " +
                        text(node->name) + " is not a name without a colon (NCName): '" +
                        text(value->content) + "'");
  }
}

bool DtdStreamCheck::validatingContent() {
  if (open.empty() || !open.back().dtdPushed || !validating()) {
    return false;
  }
  contentSubject = open.size() - 1;
  return true;
}

void DtdStreamCheck::checkDeclared(xmlNodePtr node) {
  if (!rules || !rules->anyAttlistOnly() || open.back().undeclaredReported) {
    return;
  }
  const xmlChar* prefix = node->ns != nullptr ? node->ns->prefix : nullptr;
  if (!rules->attlistOnly(text(qualifiedName(node->name, prefix)))) {
    return;
  }
  open.back().undeclaredReported = true;
  parser->valid = 0;
  reporter.reportHere(std::string("No declaration for element ") + text(node->name));
}

// xmlns:xml is an attribute like any other to a DTD, and so must be
// declared; libxml2 drops it from the element before validation sees it.
void DtdStreamCheck::checkXmlPrefixDeclared(xmlNodePtr node) {
  const xmlChar* prefix = node->ns != nullptr ? node->ns->prefix : nullptr;
  const xmlChar* name = qualifiedName(node->name, prefix);
  for (xmlDtdPtr dtd : {parser->myDoc->intSubset, parser->myDoc->extSubset}) {
    if (dtd != nullptr && xmlGetDtdQAttrDesc(dtd, name, reinterpret_cast<const xmlChar*>("xml"),
                                             reinterpret_cast<const xmlChar*>("xmlns")) != nullptr) {
      return;
    }
  }
  parser->valid = 0;
  reporter.reportHere(std::string("No declaration for attribute xmlns:xml of element ") + text(name));
}

// The declared content type of the innermost open element, looked up once
// and only when needed; 0 (UNDEFINED) when it is not declared.
int DtdStreamCheck::declaredType() {
  OpenElement& element = open.back();
  if (element.declaredType >= 0) {
    return element.declaredType;
  }
  const xmlNodePtr node = element.node;
  element.declaredType = ElementRules::declaredType(parser->myDoc, node->name,
                                                    node->ns != nullptr ? node->ns->prefix : nullptr,
                                                    element.declaredExternally);
  return element.declaredType;
}

// Lets libxml2 report content where none is allowed, in its own words: one
// character that is not white space is what its stream check looks at.
void DtdStreamCheck::pushForeignContent() {
  parser->valid &= xmlValidatePushCData(&parser->vctxt, reinterpret_cast<const xmlChar*>("x"), 1);
}

// In a standalone document, white space may not stand directly in an
// element whose element-only content is declared in the external subset
// (that declaration decides whether the white space is data). libxml2 makes
// this check only on a tree.
void DtdStreamCheck::checkStandaloneWhitespace() {
  if (parser->myDoc->standalone != 1 || open.back().standaloneFaultReported) {
    return;
  }
  if (declaredType() != XML_ELEMENT_TYPE_ELEMENT || !open.back().declaredExternally) {
    return;
  }
  open.back().standaloneFaultReported = true;
  reporter.reportHere(std::string("standalone: ") + text(open.back().node->name) +
                      " declared in the external subset contains white spaces nodes");
}

} // namespace platform::xml
