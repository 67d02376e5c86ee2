// What the xsi hints of a document have told one schema validation so far.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/xml/EntityLoader.h"

namespace platform::xml {

/// The schema documents that the hints of one schema validation name, each
/// (namespace, location) taken once, and the namespaces its elements and
/// attributes have used. A hint for a namespace already used is refused:
/// the elements before it were validated without that schema.
class SchemaHints {
public:
  /// A schema document a hint names; targetNamespace is "" for
  /// xsi:noNamespaceSchemaLocation.
  struct Location {
    std::string targetNamespace;
    std::string uri;
  };

  /// Reads the value of an xsi:schemaLocation (pairs true) or an
  /// xsi:noNamespaceSchemaLocation attribute, its locations resolved by
  /// loads against base, the URI of the entity that holds it. Adds the
  /// locations not taken before to fresh; a problem of the hint (an odd
  /// token, a namespace already used) goes to problems, and the location
  /// it concerns is left out.
  void read(EntityLoader::Scope& loads, const std::string& base, const std::string& value, bool pairs,
            std::vector<Location>& fresh, std::vector<std::string>& problems);

  /// Records that an element or attribute of namespaceName ("" for none)
  /// has been validated. Cheap when the namespace is one of the last few
  /// noted (documents mix a few namespaces, element by element).
  void use(const char* namespaceName) {
    for (const char* noted : lastUsed) {
      if (noted == namespaceName) {
        return;
      }
    }
    noteUsed(namespaceName);
  }

  /// A schema document, readable under a name of its own, that imports
  /// every location of several at once, so that the components of each are
  /// visible to the others; it has targetNamespace, a namespace no
  /// document uses.
  static std::string composition(const std::vector<Location>& locations, const std::string& targetNamespace);

  /// Whether no schema document has been taken.
  bool empty() const { return locations.empty(); }

  /// Forgets everything: the next validation starts afresh.
  void clear();

private:
  void noteUsed(const char* namespaceName);
  bool used(const std::string& namespaceName) const;
  bool taken(const Location& location) const;
  void take(Location location, const char* attribute, std::vector<Location>& fresh,
            std::vector<std::string>& problems);

  static constexpr char noneYet[1] = {};

  std::vector<Location> locations;
  std::vector<std::string> namespaces;
  // The namespaces noted last, as the parser's dictionary holds them, and
  // the place of the next one.
  std::array<const char*, 4> lastUsed{noneYet, noneYet, noneYet, noneYet};
  std::size_t nextUsed = 0;
};

} // namespace platform::xml
