#include "platform/xml/SchemaAttributeCheck.h"

#include <cstddef>
#include <string_view>

#include <libxml/schemasInternals.h>

#include "platform/xml/SchemaPlug.h"
#include "platform/xml/SimpleValueCheck.h"

namespace platform::xml {

namespace {

// xmlStrEqual, without a call: names are short, and most have no namespace.
bool same(const xmlChar* one, const xmlChar* other) {
  if (one == other) {
    return true;
  }
  if (one == nullptr || other == nullptr) {
    return false;
  }
  while (*one != 0 && *one == *other) {
    ++one;
    ++other;
  }
  return *one == *other;
}

} // namespace

SchemaAttributeCheck::Plan& SchemaAttributeCheck::planFor(const xmlSchemaType* type) {
  const auto known = plans.find(type);
  if (known != plans.end()) {
    return known->second;
  }
  Plan plan;
  for (const internals::AttributeType& attribute : internals::attributeTypes(*type)) {
    if (attribute.local != nullptr) {
      // surelyValid takes xs:ID itself and enumerations of it.
      const xmlSchemaType* builtIn =
          attribute.type->type == XML_SCHEMA_TYPE_BASIC ? attribute.type : attribute.type->baseType;
      const bool id = builtIn != nullptr && builtIn->builtInType == XML_SCHEMAS_ID;
      plan.push_back({attribute.name, attribute.targetNamespace, attribute.local, SimpleTypeCheck(*attribute.type), id});
    }
  }
  return plans.emplace(type, std::move(plan)).first->second;
}

void SchemaAttributeCheck::check(xmlSchemaValidCtxtPtr validator, const ElementStart& element,
                                 internals::UncheckedAttributes& unchecked) {
  const Plan* plan = guesses.find(element.localName);
  if (plan == nullptr || plan->empty()) {
    return;
  }
  if (!limitsKnown) {
    limits = internals::uncheckedAttributeLimits(internals::validationSchema(validator));
    limitsKnown = true;
  }
  if (!limits.any) {
    return;
  }
  for (int i = 0; i < element.attributeCount; ++i) {
    const xmlChar** attribute = element.attributes + 5 * i;
    for (const Attribute& use : *plan) {
      if (!same(attribute[0], use.name) || !same(attribute[2], use.targetNamespace)) {
        continue;
      }
      const std::string_view value(reinterpret_cast<const char*>(attribute[3]),
                                   static_cast<std::size_t>(attribute[4] - attribute[3]));
      if ((!use.id || limits.ids) && use.valid(value) && !unchecked.leave(use.declaration, limits.standIn)) {
        return;
      }
      break;
    }
  }
}

void SchemaAttributeCheck::started(const xmlSchemaType* type, const ElementStart& element) {
  if (type != nullptr) {
    guesses.remember(element.localName, &planFor(type));
  }
}

void SchemaAttributeCheck::clear() {
  // The types die with the schema; another may take their addresses.
  plans.clear();
  guesses.clear();
  limitsKnown = false;
}

} // namespace platform::xml
