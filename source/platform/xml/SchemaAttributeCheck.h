// The values of attributes that the pass checks in the schema layer's place.
#pragma once

#include <unordered_map>
#include <vector>

#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/NameGuesses.h"
#include "platform/xml/SimpleValueCheck.h"

struct _xmlSchemaAttribute;
struct _xmlSchemaType;
struct _xmlSchemaValidCtxt;

namespace platform::xml {

struct ElementStart;

/// The schema layer checks each attribute value at 400 to 2,000
/// instructions, most of them in locks, copies and typed values made to
/// be freed again; the pass checks the commonest values (surelyValid) at a
/// tenth of that, and the schema layer takes those unchecked. Which
/// declaration an attribute has is the schema layer's to say, and it says
/// so only after the check: the pass takes the declarations of the type it
/// gave the last element of the same name, and leaves unchecked only a
/// value valid for the declaration it is left for. The schema layer still
/// checks everything else, so a wrong guess costs time, not a verdict.
class SchemaAttributeCheck {
public:
  /// Before the schema layer takes the start of element: the attributes
  /// whose values are surely valid for their local declaration in the type
  /// last given to an element of its name are left to unchecked.
  void check(_xmlSchemaValidCtxt* validator, const ElementStart& element,
             internals::UncheckedAttributes& unchecked);
  /// After the schema layer took the start of element and gave it type
  /// (null for none).
  void started(const _xmlSchemaType* type, const ElementStart& element);
  /// Forgets all: the schema may have grown (new identity constraints or
  /// global declarations bound what may be left), or gone.
  void clear();

private:
  struct Attribute {
    const unsigned char* name;
    const unsigned char* targetNamespace;
    _xmlSchemaAttribute* declaration;
    SimpleTypeCheck valid;
    bool id;
  };
  using Plan = std::vector<Attribute>;
  Plan& planFor(const _xmlSchemaType* type);

  std::unordered_map<const _xmlSchemaType*, Plan> plans;
  NameGuesses<Plan> guesses;
  bool limitsKnown = false;
  internals::UncheckedAttributeLimits limits{};
};

} // namespace platform::xml
