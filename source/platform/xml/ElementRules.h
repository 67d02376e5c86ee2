// What a DTD asks of the start tags of each element type, looked up once.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/xml/SchemaPlug.h"

struct _xmlAttribute;
struct _xmlDoc;

namespace platform::xml {

/// The attribute declarations of a complete DTD, gathered per element type
/// the first time a document uses the type. admits() tells whether a start
/// tag passes every check libxml2 makes of an element and its attributes
/// when it builds the element's node (declared element, declared
/// attributes, value syntax per type, enumerations, #FIXED values,
/// #REQUIRED attributes, values a namespace-aware DTD check refuses): a tag
/// it admits needs no node, which is most of the cost of a DTD pass. It
/// answers yes only where it is sure; for any tag it does not admit
/// (undeclared names, prefixed names, namespace declarations, ENTITY and
/// NOTATION values, any fault) the pass builds the node and libxml2 checks
/// and words what is wrong, as before.
class ElementRules {
public:
  /// The value of an ID, IDREF or IDREFS attribute of an admitted tag.
  struct IdValue {
    bool id;
    std::string_view attribute;
    std::string_view value;
  };

  /// Rules of document's DTD (internal and external subset), which must be
  /// complete.
  explicit ElementRules(_xmlDoc* document);

  /// Whether only an ATTLIST names the element qualifiedName: libxml2
  /// records such an element as undeclared (of type UNDEFINED), and its
  /// stream check then takes it for declared. It is not (validity
  /// constraint Element Valid), as for an element named nowhere.
  bool attlistOnly(const std::string& qualifiedName) const { return attlistOnlyNames.count(qualifiedName) != 0; }
  bool anyAttlistOnly() const { return !attlistOnlyNames.empty(); }

  /// The content type (XML_ELEMENT_TYPE_...) of the first declaration of
  /// the element name (prefix:name first when prefixed) in document's
  /// internal, then external subset; 0 (UNDEFINED) when none declares it.
  /// external tells whether the external subset's declaration was taken.
  static int declaredType(_xmlDoc* document, const xmlChar* name, const xmlChar* prefix, bool& external);

  /// Whether element's start tag is valid as far as its own declarations
  /// go; ids then receives its ID and IDREF(S) values, in tag order.
  bool admits(const ElementStart& element, std::vector<IdValue>& ids);

private:
  struct Attribute {
    const xmlChar* name;
    _xmlAttribute* declaration;
  };
  struct Type {
    bool usable = false;
    // #REQUIRED attributes without a prefix; a prefixed one makes the type
    // unusable (its value can only come with a prefix).
    std::vector<const xmlChar*> required;
    // Declarations found so far, by the parser's name pointer.
    std::vector<Attribute> attributes;
  };

  Type& type(const xmlChar* name);
  _xmlAttribute* declaration(Type& type, const xmlChar* element, const xmlChar* name);
  bool valueAdmitted(const _xmlAttribute& declaration, const xmlChar* value, const xmlChar* end);

  void gatherAttlistOnlyNames();

  _xmlDoc* document;
  std::set<std::string> attlistOnlyNames;
  bool usable;
  std::unordered_map<const xmlChar*, Type> types;
  std::string value;
};

} // namespace platform::xml
