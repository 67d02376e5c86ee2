// libxml2 2.14 and later mark most of the fields used here deprecated;
// this file is where the project reads them, on purpose.
#define XML_DEPRECATED_MEMBER

#include "platform/xml/LibxmlInternals.h"

#include <cstring>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/dict.h>
#include <libxml/hash.h>
#include <libxml/list.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlversion.h>

#include "platform/xml/ErrorChannels.h"

// Each trick here was checked against the sources of libxml2 2.9.13 and
// 2.9.14, 2.10.4, 2.11.9, 2.12.10, 2.13.9, 2.14.6 and 2.15.3, and says
// which of those series need it. Another series must be checked first.
#if LIBXML_VERSION < 20913 || LIBXML_VERSION >= 21600
#error "LibxmlInternals.cpp was checked against libxml2 2.9.13 to 2.15: check each trick in it against this libxml2"
#endif

namespace platform::xml::internals {

namespace {

#if LIBXML_VERSION < 21000
// 2.9: the values libxml2 keeps in a parser's vctxt.finishDtd before and
// after its checks of the DTD itself (XML_CTXT_FINISH_DTD_0 and _1, which
// valid.h defines for libxml2's own sources only).
constexpr unsigned int dtdChecksPendingMark = 0xabcd1234;
constexpr unsigned int dtdChecksDoneMark = 0xabcd1235;
#else
// 2.10 to 2.15: the bit of a parser's vctxt.flags that libxml2 sets once it
// has made those checks (XML_VCTXT_DTD_VALIDATED, in valid.h in 2.10,
// private from 2.11 on).
constexpr unsigned int dtdValidatedFlag = 1u << 0;
#endif

// How many element, text and attribute structures the parser keeps for
// reuse, as libxml2's reader does.
constexpr int keptStructures = 100;

bool ownedText(xmlParserCtxtPtr ctxt, const xmlChar* text) {
  return text != nullptr && (ctxt->dict == nullptr || !xmlDictOwns(ctxt->dict, text));
}

// Hands a structure whose contents are released to one of the parser's
// lists of structures for reuse, or frees it when the parser keeps enough.
template <typename Structure>
void keepForReuse(Structure*& list, int& count, Structure* structure) {
  if (count < keptStructures) {
    structure->next = list;
    list = structure;
    ++count;
  } else {
    xmlFree(structure);
  }
}

// An element or text node goes to the parser's next element or text (freeElems).
void recycle(xmlParserCtxtPtr ctxt, xmlNodePtr node) { keepForReuse(ctxt->freeElems, ctxt->freeElemsNr, node); }

// Attributes and the text nodes of their values go back to the parser too
// (freeAttrs), which takes them for the next attributes instead of
// allocating new ones. IDs need no removal: in reader mode the ID table
// keeps values, not attributes.
void releaseAttributes(xmlParserCtxtPtr ctxt, xmlAttrPtr attribute) {
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
    keepForReuse(ctxt->freeAttrs, ctxt->freeAttrsNr, attribute);
    attribute = next;
  }
}


} // namespace

void releaseElement(xmlParserCtxtPtr parser, xmlParserCtxtPtr context, xmlNodePtr node) {
  xmlUnlinkNode(node);
  if (context != parser || node->children != nullptr) {
    xmlFreeNode(node);
    return;
  }
  if (node->properties != nullptr) {
    releaseAttributes(context, node->properties);
  }
  if (node->nsDef != nullptr) {
    xmlFreeNsList(node->nsDef);
  }
  if (ownedText(context, node->name)) {
    xmlFree(const_cast<xmlChar*>(node->name));
  }
  recycle(context, node);
}

#if LIBXML_VERSION < 21000
bool dtdChecksPending(const _xmlParserCtxt* parser) {
  return parser->validate && parser->vctxt.finishDtd == dtdChecksPendingMark;
}

void dtdChecksMade(xmlParserCtxtPtr parser) { parser->vctxt.finishDtd = dtdChecksDoneMark; }
#else
bool dtdChecksPending(const _xmlParserCtxt* parser) {
  return parser->validate && (parser->vctxt.flags & dtdValidatedFlag) == 0;
}

void dtdChecksMade(xmlParserCtxtPtr parser) { parser->vctxt.flags |= dtdValidatedFlag; }
#endif

void dropValidationStack(xmlParserCtxtPtr parser) {
  xmlValidCtxt& validation = parser->vctxt;
  if (validation.vstateNr > 0) {
    // The checks of the open elements would only echo the document's own
    // errors; nothing of them is reported.
    const ErrorChannels silent(nullptr, nullptr);
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

// 2.11 and 2.12 keep the document's sum in sizeentcopy, 2.13 and later
// too for references in the document (those in entity text add to the
// entity's expandedSize); only their amplification checks read it. 2.9 and
// 2.10 keep no such sum.
void forgetDocumentExpansion(xmlParserCtxtPtr parser, const xmlChar* name) {
#if LIBXML_VERSION >= 21100
  // A reference in the document's text has just been read: the input
  // stands right after "&name;" (or "%name;"). Lookups while an entity's
  // text is expanded stand elsewhere, or read another input.
  const xmlParserInputPtr input = parser->input;
  const std::size_t length = name != nullptr ? std::strlen(reinterpret_cast<const char*>(name)) : 0;
  if (input == nullptr || input->entity != nullptr || input->cur == nullptr || input->base == nullptr ||
      length == 0 || static_cast<std::size_t>(input->cur - input->base) < length + 2) {
    return;
  }
  const xmlChar* reference = input->cur - length - 2;
  if ((reference[0] == '&' || reference[0] == '%') && input->cur[-1] == ';' &&
      std::memcmp(reference + 1, name, length) == 0) {
    parser->sizeentcopy = 0;
  }
#else
  (void)parser;
  (void)name;
#endif
}

bool isAmplificationRefusal(const char* message) {
  static constexpr char refusal[] = "Maximum entity amplification factor exceeded";
  return message != nullptr && std::strncmp(message, refusal, sizeof refusal - 1) == 0;
}

// nbErrors counts for nothing else in 2.11 to 2.15: its only reader is the
// cut-off at 100.
void keepReportingErrors(xmlParserCtxtPtr context) {
#if LIBXML_VERSION >= 21100
  if (context != nullptr) {
    context->nbErrors = 0;
  }
#else
  (void)context;
#endif
}

#if LIBXML_VERSION >= 21300
namespace {

std::string qualified(const xmlChar* local, const xmlNs* ns) {
  std::string name = ns != nullptr && ns->prefix != nullptr ? std::string(reinterpret_cast<const char*>(ns->prefix)) + ":" : "";
  return name + reinterpret_cast<const char*>(local);
}

} // namespace

void registerEntityTextIds(xmlParserCtxtPtr context, xmlNodePtr node) {
  if (context->input == nullptr || context->input->entity == nullptr || node == nullptr || context->myDoc == nullptr) {
    return;
  }
  xmlDocPtr document = context->myDoc;
  const std::string element = qualified(node->name, node->ns);
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    const std::string name = qualified(attribute->name, attribute->ns);
    const auto* elementName = reinterpret_cast<const xmlChar*>(element.c_str());
    const auto* attributeName = reinterpret_cast<const xmlChar*>(name.c_str());
    xmlAttributePtr declaration = xmlGetDtdAttrDesc(document->intSubset, elementName, attributeName);
    if (declaration == nullptr && document->extSubset != nullptr) {
      declaration = xmlGetDtdAttrDesc(document->extSubset, elementName, attributeName);
    }
    if (declaration == nullptr || declaration->atype != XML_ATTRIBUTE_ID) {
      continue;
    }
    xmlChar* value = xmlNodeListGetString(document, attribute->children, 1);
    if (value != nullptr) {
      context->valid &= xmlAddID(&context->vctxt, document, value, attribute) != nullptr ? 1 : 0;
      xmlFree(value);
    }
  }
}
#else
void registerEntityTextIds(xmlParserCtxtPtr, xmlNodePtr) {}
#endif

bool needsWholeEntities() { return LIBXML_VERSION < 21100; }

bool validates(const _xmlParserCtxt* context) { return context->validate != 0; }

void keepLineNumbers(xmlParserCtxtPtr parser) {
#if LIBXML_VERSION < 21500
  parser->linenumbers = 1;
#else
  (void)parser;
#endif
}

bool enumerates(const xmlAttribute& declaration, const xmlChar* value, std::size_t length) {
  for (xmlEnumerationPtr allowed = declaration.tree; allowed != nullptr; allowed = allowed->next) {
    if (allowed->name != nullptr && std::strncmp(reinterpret_cast<const char*>(allowed->name),
                                                 reinterpret_cast<const char*>(value), length) == 0 &&
        allowed->name[length] == 0) {
      return true;
    }
  }
  return false;
}

void keepIdsByValue(xmlParserCtxtPtr parser) { parser->parseMode = XML_PARSE_READER; }

EntityContentChecksOff::EntityContentChecksOff(xmlParserCtxtPtr context)
    : context(context), validate(context->validate), loadSubset(context->loadsubset) {
  context->validate = 0;
  context->loadsubset |= XML_SKIP_IDS;
}

EntityContentChecksOff::~EntityContentChecksOff() {
  context->validate = validate;
  context->loadsubset = loadSubset;
}

namespace {

// libxml2 keeps the references to one value as a list, which frees them.
void freeReferenceList(void* list, const xmlChar*) { xmlListDelete(static_cast<xmlListPtr>(list)); }

// Frees one of libxml2's ID records as its xmlFreeID does (2.9 to 2.15:
// the value and, in reader mode, the attribute's name, each unless the
// document's dictionary holds it; 2.13 and later also point the attribute
// at its record, and the attribute outlives this). The attribute keeps its
// type, which the pass reads later.
void freeIdRecord(void* payload, const xmlChar*) {
  const auto id = static_cast<xmlIDPtr>(payload);
  const xmlDictPtr dict = id->doc != nullptr ? id->doc->dict : nullptr;
  for (const xmlChar* owned : {static_cast<const xmlChar*>(id->value), id->name}) {
    if (owned != nullptr && (dict == nullptr || !xmlDictOwns(dict, owned))) {
      xmlFree(const_cast<xmlChar*>(owned));
    }
  }
#if LIBXML_VERSION >= 21300
  if (id->attr != nullptr) {
    id->attr->id = nullptr;
  }
#endif
  xmlFree(id);
}

// Keys, each ended by its 0 byte, in one buffer that the next call reuses.
void gatherKey(void*, void* keys, const xmlChar* name) {
  auto& buffer = *static_cast<std::string*>(keys);
  buffer.append(reinterpret_cast<const char*>(name));
  buffer.push_back('\0');
}

template <typename Each>
void forEachKey(const std::string& keys, Each each) {
  for (std::size_t at = 0; at < keys.size(); at = keys.find('\0', at) + 1) {
    each(keys.c_str() + at);
  }
}

struct ReferenceWalk {
  const char* value;
  const std::function<void(const char*, const char*, int)>& reference;
};

// In reader mode (keepIdsByValue) a reference keeps the attribute's name,
// not the attribute.
int handReference(const void* data, void* walk) {
  const auto ref = static_cast<const xmlRef*>(data);
  const auto& [value, reference] = *static_cast<const ReferenceWalk*>(walk);
  const xmlChar* attribute = ref->attr != nullptr ? ref->attr->name : ref->name;
  if (attribute != nullptr) {
    reference(value, reinterpret_cast<const char*>(attribute), ref->lineno);
  }
  return 1;
}

} // namespace

// The tables hold one element's entries at a time and are scanned after
// each element: before 2.12 a table keeps the buckets it was made with
// (256 by default) and a scan visits them all, so they start small and grow
// only for an element that records many (2.12 and later start small).
void plainIdTables(xmlDocPtr document) {
#if LIBXML_VERSION < 21200
  constexpr int buckets = 4;
  if (document != nullptr && document->ids == nullptr) {
    document->ids = xmlHashCreate(buckets);
  }
  if (document != nullptr && document->refs == nullptr) {
    document->refs = xmlHashCreate(buckets);
  }
#else
  (void)document;
#endif
}

void takeRecordedIds(xmlDocPtr document, const std::function<void(const char*)>& id,
                     const std::function<void(const char*, const char*, int)>& reference) {
  if (document == nullptr) {
    return;
  }
  const auto ids = static_cast<xmlHashTablePtr>(document->ids);
  const auto refs = static_cast<xmlHashTablePtr>(document->refs);
  const bool anyId = ids != nullptr && xmlHashSize(ids) > 0;
  const bool anyReference = refs != nullptr && xmlHashSize(refs) > 0;
  if (!anyId && !anyReference) {
    return;
  }
  // Entries cannot leave a table while it is scanned: the keys go first.
  thread_local std::string keys;
  if (anyId) {
    keys.clear();
    xmlHashScan(ids, gatherKey, &keys);
    forEachKey(keys, [&](const char* key) {
      id(key);
      xmlHashRemoveEntry(ids, reinterpret_cast<const xmlChar*>(key), freeIdRecord);
    });
  }
  if (anyReference) {
    keys.clear();
    xmlHashScan(refs, gatherKey, &keys);
    forEachKey(keys, [&](const char* key) {
      const auto* name = reinterpret_cast<const xmlChar*>(key);
      ReferenceWalk walk{key, reference};
      if (const auto list = static_cast<xmlListPtr>(xmlHashLookup(refs, name))) {
        xmlListWalk(list, handReference, &walk);
      }
      xmlHashRemoveEntry(refs, name, freeReferenceList);
    });
  }
}

} // namespace platform::xml::internals
