#include "platform/xml/EntityReferences.h"

#include <string>

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>

#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/LoadReporter.h"

namespace platform::xml {

namespace {

const char* chars(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

} // namespace

void EntityReferences::attach(xmlParserCtxtPtr documentParser, EntityLoader::Scope* scope) {
  parser = documentParser;
  loads = scope;
}

void EntityReferences::detach() {
  parser = nullptr;
  loads = nullptr;
}

xmlEntityPtr EntityReferences::general(xmlParserCtxtPtr context, const xmlChar* name) {
  if (context == parser) {
    internals::forgetDocumentExpansion(parser, name);
  }
  xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
  charge(context, entity);
  return textEntities.standIn(parser, context, entity, name);
}

xmlEntityPtr EntityReferences::parameter(xmlParserCtxtPtr context, const xmlChar* name) {
  if (context == parser) {
    internals::forgetDocumentExpansion(parser, name);
  }
  xmlEntityPtr entity = xmlSAX2GetParameterEntity(context, name);
  charge(context, entity);
  return entity;
}

// libxml2 would resolve the external subset's system identifier with its
// own URI parser, which gives up on one that holds a space or a non-ASCII
// letter; the loader's names do not.
xmlParserInputPtr EntityReferences::resolve(xmlParserCtxtPtr context, const xmlChar* publicId,
                                            const xmlChar* systemId) {
  std::string name;
  if (systemId != nullptr && loads != nullptr) {
    name = loads->resolve(internals::innermostInputName(context), chars(systemId));
  }
  return xmlLoadExternalEntity(systemId != nullptr ? name.c_str() : nullptr, chars(publicId), context);
}

// The same for the system identifiers of entities, which libxml2 resolves
// when they are declared: against the entity the declaration stands in.
void EntityReferences::declare(xmlParserCtxtPtr context, const xmlChar* name, int type, const xmlChar* publicId,
                               const xmlChar* systemId, xmlChar* content) {
  const bool isParameter = type == XML_INTERNAL_PARAMETER_ENTITY || type == XML_EXTERNAL_PARAMETER_ENTITY;
  const auto declared = [context, name, isParameter]() -> xmlEntityPtr {
    if (context->myDoc == nullptr) {
      return nullptr;
    }
    return isParameter ? xmlGetParameterEntity(context->myDoc, name) : xmlGetDocEntity(context->myDoc, name);
  };
  // A later declaration of the same name is ignored, and its entity is not
  // the one to name.
  const xmlEntityPtr earlier = systemId != nullptr ? declared() : nullptr;
  xmlSAX2EntityDecl(context, name, type, publicId, systemId, content);
  const xmlEntityPtr entity = systemId != nullptr && loads != nullptr ? declared() : nullptr;
  if (entity == nullptr || entity == earlier) {
    return;
  }
  const std::string uri = loads->resolve(internals::innermostInputName(context), chars(systemId));
  xmlFree(const_cast<xmlChar*>(entity->URI));
  entity->URI = xmlStrdup(reinterpret_cast<const xmlChar*>(uri.c_str()));
}

// Counts what a reference to entity stands for, and ends the pass once the
// references stand for too much: the report names the first reference over
// the limit, and every parser in the pass stops.
void EntityReferences::charge(xmlParserCtxtPtr context, xmlEntityPtr entity) {
  if (expansion.refused()) {
    xmlStopParser(context);
    context->wellFormed = 0;
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
  const LoadReporter::Running running(reporter, context);
  reporter.reportHere(ExpansionGuard::refusalMessage());
  for (xmlParserCtxtPtr stopped : {context, parser}) {
    xmlStopParser(stopped);
    stopped->wellFormed = 0;
  }
}

} // namespace platform::xml
