#include "platform/xml/LibxmlInternals.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <libxml/parser.h>
#include <libxml/dict.h>
#include <libxml/hash.h>
#include <libxml/parserInternals.h>
#include <libxml/schemasInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/schemasInternals.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlversion.h>

#include "platform/xml/ErrorChannels.h"

// The fields and values used here are those of libxml2 2.9; another series
// may lay its structures out or use them otherwise.
#if LIBXML_VERSION < 20900 || LIBXML_VERSION >= 21000
#error "LibxmlInternals.cpp is written for libxml2 2.9.x: check each trick in it against this libxml2"
#endif

namespace platform::xml::internals {

namespace {

// The values libxml2 keeps in a parser's vctxt.finishDtd before and after
// its checks of the DTD itself (XML_CTXT_FINISH_DTD_0 and _1 in valid.c).
constexpr unsigned int dtdChecksPendingMark = 0xabcd1234;
constexpr unsigned int dtdChecksDoneMark = 0xabcd1235;

// How many element, text and attribute structures the parser keeps for
// reuse, as libxml2's reader does.
constexpr int keptStructures = 100;

// The head that particles, model groups and model group definitions share
// in a compiled schema (xmlSchemaTreeItem in xmlschemas.c): a particle's
// children is its term, a model group's its first particle, a group
// definition's its model group; particles of one group are chained by next.
struct SchemaTreeItem {
  xmlSchemaTypeType type;
  xmlSchemaAnnotPtr annot;
  SchemaTreeItem* next;
  SchemaTreeItem* children;
};

void collectElementTypes(const SchemaTreeItem* item, std::vector<const _xmlSchemaType*>& types) {
  for (; item != nullptr; item = item->next) {
    switch (item->type) {
    case XML_SCHEMA_TYPE_ELEMENT: {
      const auto* element = reinterpret_cast<const xmlSchemaElement*>(item);
      if (element->subtypes != nullptr) {
        types.push_back(element->subtypes);
      }
      break;
    }
    case XML_SCHEMA_TYPE_PARTICLE:
    case XML_SCHEMA_TYPE_SEQUENCE:
    case XML_SCHEMA_TYPE_CHOICE:
    case XML_SCHEMA_TYPE_ALL:
    case XML_SCHEMA_TYPE_GROUP:
      collectElementTypes(item->children, types);
      break;
    default:
      break;
    }
    // Only particles are chained; the terms' next fields mean other things.
    if (item->type != XML_SCHEMA_TYPE_PARTICLE) {
      break;
    }
  }
}

// A complex type's attrUses (xmlSchemaItemList and xmlSchemaAttributeUse in
// xmlschemas.c).
struct SchemaItemList {
  void** items;
  int nbItems;
  int sizeItems;
};

struct SchemaAttributeUse {
  xmlSchemaTypeType type;
  xmlSchemaAnnotPtr annot;
  SchemaAttributeUse* next;
  xmlSchemaAttributePtr attrDecl;
};

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

void copyHashEntry(void* payload, void* table, const xmlChar* name, const xmlChar* name2,
                   const xmlChar* name3) {
  xmlHashAddEntry3(static_cast<xmlHashTablePtr>(table), name, name2, name3, payload);
}

// Moves table to four times as many buckets once it holds four entries per
// bucket; its payloads move along.
void spreadTable(void*& table, std::size_t& buckets) {
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

// Should another libxml2 use other marks, the pass's own root check does
// not fire, and libxml2 makes those checks itself, as before.
bool dtdChecksPending(const _xmlParserCtxt* parser) {
  return parser->validate && parser->vctxt.finishDtd == dtdChecksPendingMark;
}

void dtdChecksMade(xmlParserCtxtPtr parser) { parser->vctxt.finishDtd = dtdChecksDoneMark; }

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

std::size_t documentBytesRead(const _xmlParserCtxt* parser) {
  const xmlParserInputPtr document = parser->inputNr > 0 ? parser->inputTab[0] : nullptr;
  return document == nullptr ? 0
                             : static_cast<std::size_t>(document->consumed) +
                                   static_cast<std::size_t>(document->cur - document->base);
}

std::string innermostInputName(const _xmlParserCtxt* context) {
  if (context == nullptr) {
    return "";
  }
  for (int i = context->inputNr - 1; i >= 0; --i) {
    if (context->inputTab[i] != nullptr && context->inputTab[i]->filename != nullptr) {
      return context->inputTab[i]->filename;
    }
  }
  return "";
}

bool atCharacterReference(const _xmlParserCtxt* context, const xmlChar* data) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->base == nullptr || input->cur <= input->base) {
    return false;
  }
  const bool fromInput = data >= input->base && (input->end == nullptr || data < input->end);
  return !fromInput && input->cur[-1] == ';';
}

bool startTagDeclaresXmlPrefix(const _xmlParserCtxt* context) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->base == nullptr || input->cur <= input->base) {
    return false;
  }
  // A well-formed tag holds no '<' but its first character.
  const auto* start = static_cast<const xmlChar*>(
      memrchr(input->base, '<', static_cast<std::size_t>(input->cur - input->base)));
  // Most tags hold no colon at all: two vector scans settle those.
  if (start == nullptr || memchr(start, ':', static_cast<std::size_t>(input->cur - start)) == nullptr) {
    return false;
  }
  const xmlChar* at = start + 1;
  const xmlChar* const end = input->cur;
  const auto skip = [&](auto&& inName) {
    const xmlChar* from = at;
    while (at < end && inName(*at)) {
      ++at;
    }
    return std::string_view(reinterpret_cast<const char*>(from), static_cast<std::size_t>(at - from));
  };
  const auto nameChar = [](xmlChar c) { return !IS_BLANK_CH(c) && c != '=' && c != '>' && c != '/'; };
  const auto blank = [](xmlChar c) { return IS_BLANK_CH(c); };
  skip(nameChar);
  for (;;) {
    skip(blank);
    const std::string_view name = skip(nameChar);
    if (name.empty()) {
      return false;
    }
    skip(blank);
    if (at == end || *at != '=') {
      return false;
    }
    ++at;
    skip(blank);
    if (at == end) {
      return false;
    }
    const xmlChar quote = *at++;
    skip([quote](xmlChar c) { return c != quote; });
    if (at == end) {
      return false;
    }
    ++at;
    if (name == "xmlns:xml") {
      return true;
    }
  }
}

std::string undecodedBytes(const _xmlParserCtxt* context, std::string& encoding) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->buf == nullptr || input->buf->encoder == nullptr || input->buf->raw == nullptr ||
      input->cur == nullptr || input->cur < input->end) {
    return "";
  }
  const std::size_t left = xmlBufUse(input->buf->raw);
  const xmlChar* bytes = xmlBufContent(input->buf->raw);
  if (left == 0 || bytes == nullptr) {
    return "";
  }
  encoding = input->buf->encoder->name != nullptr ? input->buf->encoder->name : "its encoding";
  std::string shown;
  for (std::size_t i = 0; i < left && i < 4; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s0x%02X", i == 0 ? "" : " ", bytes[i]);
    shown += hex;
  }
  return shown;
}

std::string declaredEncoding(const _xmlParserCtxt* parser) {
  const xmlChar* name = parser->input != nullptr && parser->input->encoding != nullptr ? parser->input->encoding
                                                                                      : parser->encoding;
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

void keepIdsByValue(xmlParserCtxtPtr parser) { parser->parseMode = XML_PARSE_READER; }

// The head of struct _xmlSchemaValidCtxt in xmlschemas.c, up to the schema.
struct SchemaValidationHead {
  int type;
  void* errorContext;
  xmlSchemaValidityErrorFunc error;
  xmlSchemaValidityWarningFunc warning;
  xmlStructuredErrorFunc structuredError;
  xmlSchemaPtr schema;
};

xmlSchemaPtr validationSchema(xmlSchemaValidCtxtPtr context) {
  return context != nullptr ? reinterpret_cast<SchemaValidationHead*>(context)->schema : nullptr;
}

namespace {

// struct _xmlSchemaImport in xmlschemas.c: what schemasImports holds for
// each namespace.
struct SchemaImport {
  int type;
  int flags;
  const xmlChar* schemaLocation;
  const xmlChar* originalTargetNamespace;
  const xmlChar* targetNamespace;
  xmlDocPtr document;
  void* relations;
  int located;
  int parsed;
  int imported;
  int preserveDocument;
  void* globals;
  void* locals;
  xmlSchemaPtr schema;
};

void collectSchema(void* payload, void* found, const xmlChar*) {
  const xmlSchemaPtr schema = static_cast<SchemaImport*>(payload)->schema;
  auto& schemas = *static_cast<std::vector<xmlSchemaPtr>*>(found);
  if (schema != nullptr && std::find(schemas.begin(), schemas.end(), schema) == schemas.end()) {
    schemas.push_back(schema);
  }
}

} // namespace

std::vector<xmlSchemaPtr> namespaceSchemas(xmlSchemaPtr schema) {
  std::vector<xmlSchemaPtr> schemas;
  if (schema == nullptr) {
    return schemas;
  }
  schemas.push_back(schema);
  if (schema->schemasImports != nullptr) {
    xmlHashScan(static_cast<xmlHashTablePtr>(schema->schemasImports), collectSchema, &schemas);
  }
  return schemas;
}

EntityContentChecksOff::EntityContentChecksOff(xmlParserCtxtPtr context)
    : context(context), validate(context->validate), loadSubset(context->loadsubset) {
  context->validate = 0;
  context->loadsubset |= XML_SKIP_IDS;
}

EntityContentChecksOff::~EntityContentChecksOff() {
  context->validate = validate;
  context->loadsubset = loadSubset;
}

void IdTables::createPlain(xmlDocPtr document) {
  if (document != nullptr && document->ids == nullptr) {
    document->ids = xmlHashCreate(0);
  }
  if (document != nullptr && document->refs == nullptr) {
    document->refs = xmlHashCreate(0);
  }
}

void IdTables::spread(xmlDocPtr document) {
  if (document != nullptr) {
    spreadTable(document->ids, idBuckets);
    spreadTable(document->refs, refBuckets);
  }
}

std::vector<const _xmlSchemaType*> localTypes(const _xmlSchemaType& complexType) {
  std::vector<const _xmlSchemaType*> types;
  if (complexType.type != XML_SCHEMA_TYPE_COMPLEX) {
    return types;
  }
  if (complexType.contentType == XML_SCHEMA_CONTENT_ELEMENTS || complexType.contentType == XML_SCHEMA_CONTENT_MIXED) {
    collectElementTypes(reinterpret_cast<const SchemaTreeItem*>(complexType.subtypes), types);
  }
  if (const auto* uses = static_cast<const SchemaItemList*>(complexType.attrUses)) {
    for (int i = 0; i < uses->nbItems; ++i) {
      const auto* use = static_cast<const SchemaAttributeUse*>(uses->items[i]);
      if (use != nullptr && use->type == XML_SCHEMA_TYPE_ATTRIBUTE_USE && use->attrDecl != nullptr &&
          use->attrDecl->subtypes != nullptr) {
        types.push_back(use->attrDecl->subtypes);
      }
    }
  }
  return types;
}

} // namespace platform::xml::internals
