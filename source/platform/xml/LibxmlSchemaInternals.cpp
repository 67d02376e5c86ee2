#include "platform/xml/LibxmlInternals.h"

#include <algorithm>

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/schemasInternals.h>
#include <libxml/xmlregexp.h>
#include <libxml/xmlstring.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlschemastypes.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

// The structures below are copied from xmlschemas.c, where libxml2 keeps
// them private. They read the same in every release checked: 2.9.13 and
// 2.9.14, 2.10.4, 2.11.9, 2.12.10, 2.13.9, 2.14.6 and 2.15.3. A later
// series is compiled only once its xmlschemas.c has been compared.
#if LIBXML_VERSION < 20913 || LIBXML_VERSION >= 21600
#error "LibxmlSchemaInternals.cpp copies structures of libxml2 2.9.13 to 2.15: compare them with this libxml2's xmlschemas.c"
#endif

namespace platform::xml::internals {

namespace {

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
  int flags;
  xmlNodePtr node;
  int occurs;
  const xmlChar* defValue;
  xmlSchemaValPtr defVal;
};

} // namespace

// The head of struct _xmlSchemaValidCtxt in xmlschemas.c, up to inode:
// xsiAssemble says whether the context reads hints (set when it was made
// without a schema), inode is the record of the element in hand.
struct SchemaValidationHead {
  int type;
  void* errorContext;
  xmlSchemaValidityErrorFunc error;
  xmlSchemaValidityWarningFunc warning;
  xmlStructuredErrorFunc structuredError;
  xmlSchemaPtr schema;
  xmlDocPtr doc;
  xmlParserInputBufferPtr input;
  xmlCharEncoding encoding;
  xmlSAXHandlerPtr sax;
  xmlParserCtxtPtr parser;
  void* userData;
  char* filename;
  int err;
  int errors;
  xmlNodePtr node;
  xmlNodePtr cur;
  xmlRegExecCtxtPtr regexp;
  xmlSchemaValPtr value;
  int valueWhiteSpace;
  int options;
  xmlNodePtr validationRoot;
  xmlSchemaParserCtxtPtr parserContext;
  int xsiAssemble;
  int depth;
  void** elementInfos;
  int elementInfoRoom;
  struct SchemaNodeInfo* inode;
};

// The head of struct _xmlSchemaNodeInfo in xmlschemas.c, up to depth.
struct SchemaNodeInfo {
  int nodeType;
  xmlNodePtr node;
  int nodeLine;
  const xmlChar* localName;
  const xmlChar* nsName;
  const xmlChar* value;
  xmlSchemaValPtr val;
  xmlSchemaTypePtr typeDef;
  int flags;
  int valNeeded;
  int normVal;
  xmlSchemaElementPtr decl;
  int depth;
};

xmlSchemaPtr validationSchema(xmlSchemaValidCtxtPtr context) {
  return context != nullptr ? reinterpret_cast<SchemaValidationHead*>(context)->schema : nullptr;
}

// xsiAssemble is used in three places, alike from 2.9.13 to 2.15.3: when
// the validation starts (xmlSchemaPreRun), which sets it; at each element
// start (xmlSchemaValidateElem), which then reads the element's hints and
// records every identity constraint of every namespace again
// (xmlSchemaAugmentIDC); and at the end (xmlSchemaPostRun), which frees the
// assembled schema only while it is set. An element start without hints
// reads none, so leaving it off there drops nothing but the repeated
// records.
// inode is the record of the element the context took last; it stands
// for the element just started only when it is as deep as the context and
// has its name (an element the context skips, inside one it gave up on,
// gets no record).
const _xmlSchemaType* startedElementType(xmlSchemaValidCtxtPtr context, const unsigned char* localName) {
  const auto* head = reinterpret_cast<const SchemaValidationHead*>(context);
  const SchemaNodeInfo* node = head != nullptr ? head->inode : nullptr;
  if (node == nullptr || node->depth != head->depth || node->localName == nullptr || localName == nullptr ||
      !xmlStrEqual(node->localName, localName)) {
    return nullptr;
  }
  return node->typeDef;
}

// Flags of a record (XML_SCHEMA_ELEM_INFO_* and XML_SCHEMA_NODE_INFO_* in
// xmlschemas.c) under which the end of the element does more with its
// value than check it, or checks nothing: nilled, value wanted by an
// identity constraint, element children, faults already found.
constexpr int valueNotOnlyChecked = (1 << 2) | (1 << 4) | (1 << 7) | (1 << 8) | (1 << 9) | (1 << 10);

bool settleContent(xmlSchemaValidCtxtPtr context, const unsigned char* localName,
                   bool (*valid)(const xmlSchemaType& type, std::string_view value)) {
  auto* head = reinterpret_cast<SchemaValidationHead*>(context);
  SchemaNodeInfo* node = head != nullptr ? head->inode : nullptr;
  if (node == nullptr || node->depth != head->depth || node->typeDef == nullptr || node->value == nullptr ||
      (node->flags & valueNotOnlyChecked) != 0 || (node->decl != nullptr && node->decl->value != nullptr) ||
      localName == nullptr || node->localName == nullptr || !xmlStrEqual(node->localName, localName)) {
    return false;
  }
  const xmlSchemaType* content = node->typeDef;
  if (content->type == XML_SCHEMA_TYPE_COMPLEX) {
    content = content->contentType == XML_SCHEMA_CONTENT_SIMPLE ? content->contentTypeDef : nullptr;
  }
  if (content == nullptr || !valid(*content, reinterpret_cast<const char*>(node->value))) {
    return false;
  }
  // A record without a type is one the context could not type: at its end
  // (xmlSchemaValidatorPopElem) it goes straight to the identity-constraint
  // bookkeeping, which no typed value is wanted for here, and is dropped.
  node->typeDef = nullptr;
  return true;
}

void readHints(xmlSchemaValidCtxtPtr context, bool read) {
  if (context != nullptr) {
    reinterpret_cast<SchemaValidationHead*>(context)->xsiAssemble = read ? 1 : 0;
  }
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

std::vector<AttributeType> attributeTypes(const _xmlSchemaType& complexType) {
  std::vector<AttributeType> attributes;
  const auto* uses = complexType.type == XML_SCHEMA_TYPE_COMPLEX
                         ? static_cast<const SchemaItemList*>(complexType.attrUses)
                         : nullptr;
  for (int i = 0; uses != nullptr && i < uses->nbItems; ++i) {
    const auto* use = static_cast<const SchemaAttributeUse*>(uses->items[i]);
    if (use == nullptr || use->type != XML_SCHEMA_TYPE_ATTRIBUTE_USE || use->attrDecl == nullptr ||
        use->attrDecl->subtypes == nullptr) {
      continue;
    }
    xmlSchemaAttributePtr declaration = use->attrDecl;
    // A local declaration belongs to this use alone (shared as a whole by
    // attribute groups and derived types), which keeps any value
    // constraint in the declaration; a global one may have other uses.
    const bool local = (declaration->flags & (XML_SCHEMAS_ATTR_GLOBAL | XML_SCHEMAS_ATTR_FIXED)) == 0 &&
                       declaration->defValue == nullptr && use->defValue == nullptr && use->flags == 0;
    attributes.push_back({declaration->name, declaration->targetNamespace, declaration->subtypes,
                          local ? declaration : nullptr});
  }
  return attributes;
}

UncheckedAttributes::~UncheckedAttributes() {
  while (count > 0) {
    --count;
    declarations[count]->subtypes = types[count];
  }
}

bool UncheckedAttributes::leave(xmlSchemaAttributePtr declaration, xmlSchemaTypePtr standIn) {
  if (count == room || standIn == nullptr) {
    return false;
  }
  declarations[count] = declaration;
  types[count] = declaration->subtypes;
  ++count;
  declaration->subtypes = standIn;
  return true;
}

namespace {

// As xmlSchemaIsDerivedFromBuiltInType(type, XML_SCHEMAS_ID) may find, or
// might: lists and unions count.
bool mayBeId(const xmlSchemaType* type) {
  for (int step = 0; type != nullptr && step < 64; ++step, type = type->baseType) {
    if (type->type == XML_SCHEMA_TYPE_BASIC) {
      return type->builtInType == XML_SCHEMAS_ID;
    }
    if ((type->flags & (XML_SCHEMAS_TYPE_VARIETY_LIST | XML_SCHEMAS_TYPE_VARIETY_UNION)) != 0) {
      return true;
    }
  }
  return true;
}

void noteGlobalId(void* payload, void* found, const xmlChar*) {
  if (mayBeId(static_cast<xmlSchemaAttributePtr>(payload)->subtypes)) {
    *static_cast<bool*>(found) = true;
  }
}

} // namespace

UncheckedAttributeLimits uncheckedAttributeLimits(xmlSchemaPtr schema) {
  bool constraints = schema == nullptr;
  bool globalIds = false;
  for (xmlSchemaPtr each : namespaceSchemas(schema)) {
    constraints = constraints || (each->idcDef != nullptr && xmlHashSize(each->idcDef) > 0);
    if (each->attrDecl != nullptr) {
      xmlHashScan(each->attrDecl, noteGlobalId, &globalIds);
    }
  }
  // Built-in types live until libxml2 is cleaned up; a lookup takes a lock.
  return {!constraints, !constraints && !globalIds, xmlSchemaGetBuiltInType(XML_SCHEMAS_ANYSIMPLETYPE)};
}

std::vector<const _xmlSchemaType*> localTypes(const _xmlSchemaType& complexType) {
  std::vector<const _xmlSchemaType*> types;
  if (complexType.type != XML_SCHEMA_TYPE_COMPLEX) {
    return types;
  }
  if (complexType.contentType == XML_SCHEMA_CONTENT_ELEMENTS || complexType.contentType == XML_SCHEMA_CONTENT_MIXED) {
    collectElementTypes(reinterpret_cast<const SchemaTreeItem*>(complexType.subtypes), types);
  }
  for (const AttributeType& attribute : attributeTypes(complexType)) {
    types.push_back(attribute.type);
  }
  return types;
}

// The schema layer asks the thread's last error (xmlGetLastError) whether a
// document it could not read was not there (an I/O error) or could not be
// parsed; __xmlLastError() is that error in every series checked, 2.9.13 to
// 2.15.3 (read-only and deprecated from 2.12 on, with no other way to set
// it but raising an error, which would reach the handler).
void markDocumentNotLocated() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  auto* last = const_cast<xmlError*>(__xmlLastError());
#pragma GCC diagnostic pop
  last->domain = XML_FROM_IO;
  last->code = XML_IO_LOAD_ERROR;
  last->level = XML_ERR_WARNING;
}

} // namespace platform::xml::internals
