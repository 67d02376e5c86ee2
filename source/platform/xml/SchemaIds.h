// The ID rules of XML Schema over a stream of elements.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/xml/IdRegistry.h"
#include "platform/xml/NameGuesses.h"

struct _xmlSchemaType;

namespace platform::xml {

struct ElementStart;

/// Within one validation root, every value of a type derived from xs:ID,
/// of an attribute or of an element, is unique, and every name of a value
/// of a type derived from xs:IDREF (or of a list of those, xs:IDREFS) is
/// the value of one (cvc-id). libxml2's schema layer checks only that the
/// IDs of attribute nodes of a tree are unique: a stream hands it no nodes,
/// so it checks neither rule there. Types come from the schema layer (the
/// type it gave each element, the attribute uses of that type); attributes
/// that only a wildcard admits are not looked at.
class SchemaIds {
public:
  /// Where a fault is placed: at the parser's place, or at line (of the
  /// document, column unknown) when line is not 0.
  using Fault = std::function<void(const std::string& message, int line)>;
  /// The line the parser stands on.
  using Line = std::function<int()>;

  SchemaIds(Fault fault, Line line) : fault(std::move(fault)), line(std::move(line)) {}

  /// Before the schema layer takes the start of element: the IDs that
  /// element's attributes held when an element of its name was last
  /// started are prefetched (see IdRegistry::prefetch); the schema layer's
  /// work on the element hides the wait.
  void anticipate(const ElementStart& element) const;
  /// After the schema layer took the start of element, and gave it type
  /// (null for none): its attributes are checked, and its text is gathered
  /// when its type is one of those.
  void started(const _xmlSchemaType* type, const ElementStart& element);
  /// Text of the element in hand.
  void text(const unsigned char* data, int length);
  /// The end of the element in hand.
  void ended();
  /// The end of the validation root: the names that no ID matched are
  /// faults, each at its reference's line; then all is forgotten.
  void finish();
  /// Forgets all without a fault (the validation did not run to its end).
  void clear();

private:
  enum class Kind { none, id, reference };
  struct Attribute {
    const unsigned char* name;
    const unsigned char* targetNamespace;
    Kind kind;
  };
  /// What of a type's values and attributes the rules look at.
  struct Plan {
    Kind content = Kind::none;
    std::vector<Attribute> attributes;
  };
  /// What holds a value: an element, or an attribute of it (names from
  /// the parser's dictionary, which outlives them); put into words only for
  /// a fault or a waiting reference.
  struct Holder {
    const unsigned char* elementUri;
    const unsigned char* elementName;
    const unsigned char* attributeUri;
    const unsigned char* attributeName;
    std::string text() const;
  };
  struct Open {
    std::size_t depth;
    Kind kind;
    Holder holder;
    std::string text;
  };

  static Kind kindOf(const _xmlSchemaType* type);
  const Plan& planFor(const _xmlSchemaType* type);
  void take(Kind kind, std::string_view value, const Holder& holder);

  Fault fault;
  Line line;
  /// The plan last used for an element of a name: a guess for anticipate().
  NameGuesses<Plan> guesses;
  std::unordered_map<const _xmlSchemaType*, Plan> plans;
  std::unique_ptr<IdRegistry> ids = std::make_unique<IdRegistry>();
  std::size_t depth = 0;
  std::vector<Open> gathering;
};

} // namespace platform::xml
