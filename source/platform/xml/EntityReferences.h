// What the entity references of one pass stand for, and where they lead.
#pragma once

#include <libxml/xmlstring.h>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/ExpansionGuard.h"
#include "platform/xml/LibxmlInternals.h"

struct _xmlEntity;
struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

class LoadReporter;

/// The entity side of one pass, for every parser of the pass (the
/// document's, and those of entity content); the pass's SAX handlers for
/// entities call into it.
/// - Every reference is charged to the pass's ExpansionGuard. The first one
///   over the limit is reported where it stands and stops its parser and
///   the document's; a reference after it stops its parser at once.
/// - The system identifiers of the external subset and of external
///   entities are resolved by the loader's rules (EntityLoader::Scope::
///   resolve), not by libxml2's URI parser.
class EntityReferences {
public:
  explicit EntityReferences(LoadReporter& reporter) : reporter(reporter) {}
  EntityReferences(const EntityReferences&) = delete;
  EntityReferences& operator=(const EntityReferences&) = delete;

  /// The document's parser and the pass's loader, while the pass reads.
  void attach(_xmlParserCtxt* documentParser, EntityLoader::Scope* scope);
  void detach();

  /// The general entity that context refers to by name (null when none is
  /// declared), charged for the reference; for a reference in text to an
  /// entity that stands for plain text, a stand-in that libxml2 hands over
  /// without parsing it again (internals::TextEntities).
  _xmlEntity* general(_xmlParserCtxt* context, const xmlChar* name);
  /// The same for a parameter entity.
  _xmlEntity* parameter(_xmlParserCtxt* context, const xmlChar* name);

  /// Opens the external resource that context asks for, its system
  /// identifier resolved against the entity context reads.
  _xmlParserInput* resolve(_xmlParserCtxt* context, const xmlChar* publicId, const xmlChar* systemId);
  /// Declares an entity read by context as libxml2 does; an external one
  /// is then named by the URI its system identifier resolves to, against
  /// the entity the declaration stands in.
  void declare(_xmlParserCtxt* context, const xmlChar* name, int type, const xmlChar* publicId,
               const xmlChar* systemId, xmlChar* content);

private:
  void charge(_xmlParserCtxt* context, _xmlEntity* entity);

  LoadReporter& reporter;
  ExpansionGuard expansion;
  internals::TextEntities textEntities;
  _xmlParserCtxt* parser = nullptr;
  EntityLoader::Scope* loads = nullptr;
};

} // namespace platform::xml
