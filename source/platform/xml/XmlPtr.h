// Owning pointers for libxml2 objects; only for .cpp files of this folder.
#pragma once

#include <memory>

#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxml/xmlschemas.h>

namespace platform::xml {

struct XmlDeleter {
  void operator()(xmlParserCtxt* context) const noexcept {
    if (context->myDoc != nullptr) {
      xmlFreeDoc(context->myDoc);
      context->myDoc = nullptr;
    }
    xmlFreeParserCtxt(context);
  }
  void operator()(xmlSchemaValidCtxt* context) const noexcept { xmlSchemaFreeValidCtxt(context); }
  void operator()(xmlSchemaParserCtxt* context) const noexcept { xmlSchemaFreeParserCtxt(context); }
  void operator()(xmlSchema* schema) const noexcept { xmlSchemaFree(schema); }
  void operator()(xmlDoc* document) const noexcept { xmlFreeDoc(document); }
  void operator()(xmlURI* uri) const noexcept { xmlFreeURI(uri); }
  void operator()(xmlChar* text) const noexcept { xmlFree(text); }
};

template <typename T>
using XmlPtr = std::unique_ptr<T, XmlDeleter>;

} // namespace platform::xml
