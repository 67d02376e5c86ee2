#include "platform/xml/SelfInclusion.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlschemastypes.h>

#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

const xmlChar* const schemaNamespace = reinterpret_cast<const xmlChar*>("http://www.w3.org/2001/XMLSchema");

bool isSchemaElement(const xmlNode* node, const char* name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
         xmlStrEqual(node->ns->href, schemaNamespace) &&
         xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

// Whether include names its own document, resolved as libxml2's schema
// layer resolves it.
bool includesItself(xmlDocPtr document, xmlNodePtr include) {
  const XmlPtr<xmlChar> location(xmlGetNoNsProp(include, reinterpret_cast<const xmlChar*>("schemaLocation")));
  if (location == nullptr) {
    return false;
  }
  const XmlPtr<xmlChar> trimmed(xmlSchemaCollapseString(location.get()));
  const XmlPtr<xmlChar> base(xmlNodeGetBase(document, include));
  const XmlPtr<xmlChar> uri(xmlBuildURI(trimmed != nullptr ? trimmed.get() : location.get(),
                                        base != nullptr ? base.get() : document->URL));
  return uri != nullptr && xmlStrEqual(uri.get(), document->URL);
}

void endDocument(void* context) {
  xmlSAX2EndDocument(context);
  const xmlDocPtr document = static_cast<xmlParserCtxtPtr>(context)->myDoc;
  const xmlNodePtr schema = document != nullptr ? xmlDocGetRootElement(document) : nullptr;
  if (document == nullptr || document->URL == nullptr || !isSchemaElement(schema, "schema")) {
    return;
  }
  xmlNodePtr next = nullptr;
  for (xmlNodePtr child = schema->children; child != nullptr; child = next) {
    next = child->next;
    if (isSchemaElement(child, "include") && includesItself(document, child)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    }
  }
}

} // namespace

void SelfInclusion::dropWhenRead(xmlParserCtxtPtr reader) {
  // Only a reader that builds a tree as libxml2 does by default.
  if (reader != nullptr && reader->sax != nullptr && reader->sax->endDocument == xmlSAX2EndDocument) {
    reader->sax->endDocument = endDocument;
  }
}

} // namespace platform::xml
