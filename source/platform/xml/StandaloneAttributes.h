// Attribute values in a standalone document that external declarations
// would normalize.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/xml/SchemaPlug.h"

struct _xmlParserCtxt;

namespace platform::xml {

/// In a document declared standalone="yes", an attribute of a tokenized
/// type (anything but CDATA) declared outside the document entity (in the
/// external subset or in a parameter entity) may not be written with a
/// value that normalization changes: a processor that does not read that
/// declaration would see another value. libxml2 makes this check only when
/// it keeps entity references, which a validating pass does not; it
/// normalizes such values before any callback could compare them. This
/// unit asks libxml2 to leave those values as written, checks them, and
/// hands on the normalized values. It does nothing for other documents.
class StandaloneAttributes {
public:
  /// An ATTLIST entry read by context; the first declaration of a pair
  /// is the one that counts.
  void declared(_xmlParserCtxt* context, const xmlChar* element, const xmlChar* attribute, int type);
  /// The DTD is complete (internal and external subset).
  void dtdComplete(_xmlParserCtxt* context);

  /// Whether element starts need check().
  bool active() const { return !watched.empty(); }
  /// The element with the values of its watched attributes normalized;
  /// the names of those whose value normalization changed are added to
  /// changed. The result's attributes stay valid until the next call.
  ElementStart check(const ElementStart& element, std::vector<std::string>& changed);

private:
  using Key = std::pair<std::string, std::string>;

  // Per (element, attribute) as written in the ATTLIST: whether its first
  // declaration is external and of a tokenized type.
  std::map<Key, bool> declarations;
  std::set<Key> watched;
  std::vector<const xmlChar*> attributes;
  std::vector<std::string> values;
};

} // namespace platform::xml
