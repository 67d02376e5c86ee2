#include "platform/xml/DtdStreamCheck.h"

#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include <libxml/SAX2.h>
#include <libxml/hash.h>
#include <libxml/parserInternals.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include "platform/xml/LoadReporter.h"

namespace platform::xml {

namespace {

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

} // namespace

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
  const bool tree = validating();
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
    if (internals::startTagDeclaresXmlPrefix(context)) {
      checkXmlPrefixDeclared(node);
    }
    if (context == parser && node->properties != nullptr) {
      checkNamespaceNames(node);
    }
  }
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
    gatherAttlistOnlyNames(context->myDoc);
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
          reportAsLibxml(XML_DTD_ID_REDEFINED, std::string("ID ") + id + " already defined\n", id, 0);
        }
      },
      [this](const char* value, const char* attribute, int line) { ids.refer(value, attribute, line); });
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
  const OpenElement element = open.empty() ? OpenElement{} : open.back();
  if (element.node == nullptr) {
    return;
  }
  subject = open.size() - 1;
  contentSubject = subject;
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
  if (open.empty()) {
    return;
  }
  const xmlNodePtr node = open.back().node;
  open.pop_back();
  if (node != nullptr && node != context->node) {
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

// An ATTLIST makes libxml2 record its element, undeclared (of type
// UNDEFINED); its stream check then takes the element for declared. It is
// not (validity constraint Element Valid), as for an element named nowhere.
// Such names are gathered once the DTD is complete, at the root, so other
// documents pay nothing per element.
void DtdStreamCheck::gatherAttlistOnlyNames(xmlDocPtr document) {
  struct Gathering {
    xmlDocPtr document;
    std::set<std::string>& names;
  } gathering{document, attlistOnly};
  const auto gather = [](void* payload, void* data, const xmlChar* name, const xmlChar* prefix,
                         const xmlChar*) {
    auto& [document, names] = *static_cast<Gathering*>(data);
    if (static_cast<xmlElementPtr>(payload)->etype != XML_ELEMENT_TYPE_UNDEFINED) {
      return;
    }
    for (xmlDtdPtr dtd : {document->intSubset, document->extSubset}) {
      const xmlElementPtr declaration =
          dtd == nullptr ? nullptr
          : prefix != nullptr ? xmlGetDtdQElementDesc(dtd, name, prefix)
                              : xmlGetDtdElementDesc(dtd, name);
      if (declaration != nullptr && declaration->etype != XML_ELEMENT_TYPE_UNDEFINED) {
        return;
      }
    }
    names.insert(prefix != nullptr ? std::string(text(prefix)) + ":" + text(name) : text(name));
  };
  for (xmlDtdPtr dtd : {document->intSubset, document->extSubset}) {
    if (dtd != nullptr && dtd->elements != nullptr) {
      xmlHashScanFull(static_cast<xmlHashTablePtr>(dtd->elements), gather, &gathering);
    }
  }
}

void DtdStreamCheck::checkDeclared(xmlNodePtr node) {
  if (attlistOnly.empty() || open.back().undeclaredReported) {
    return;
  }
  const xmlChar* prefix = node->ns != nullptr ? node->ns->prefix : nullptr;
  if (attlistOnly.count(text(qualifiedName(node->name, prefix))) == 0) {
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
    if (declaration != nullptr && declaration->etype != XML_ELEMENT_TYPE_UNDEFINED) {
      element.declaredType = declaration->etype;
      element.declaredExternally = dtd == parser->myDoc->extSubset;
      break;
    }
  }
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
