#include "platform/xml/SchemaIds.h"

#include <utility>

#include <libxml/schemasInternals.h>
#include <libxml/xmlstring.h>

#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/SchemaPlug.h"

namespace platform::xml {

namespace {

const char* chars(const unsigned char* text) { return reinterpret_cast<const char*>(text); }

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Derivations are short; a cycle, which a compiled schema does not hold,
// ends here all the same.
constexpr int maxDerivationSteps = 64;

// "{namespace}name", as the schema layer's messages name elements and
// attributes.
std::string expandedName(const unsigned char* uri, const unsigned char* localName) {
  std::string name = chars(localName);
  return uri != nullptr ? "{" + std::string(chars(uri)) + "}" + name : name;
}

// A value without the blanks around it: ID and IDREF collapse white space.
std::string_view collapsed(std::string_view value) {
  while (!value.empty() && blank(value.front())) {
    value.remove_prefix(1);
  }
  while (!value.empty() && blank(value.back())) {
    value.remove_suffix(1);
  }
  return value;
}

} // namespace

// IDs, references (IDREF, IDREFS, a list of IDREF), or neither.
SchemaIds::Kind SchemaIds::kindOf(const xmlSchemaType* type) {
  for (int step = 0; type != nullptr && step < maxDerivationSteps; ++step) {
    if (type->type == XML_SCHEMA_TYPE_BASIC) {
      switch (type->builtInType) {
      case XML_SCHEMAS_ID: return Kind::id;
      case XML_SCHEMAS_IDREF:
      case XML_SCHEMAS_IDREFS: return Kind::reference;
      default: return Kind::none;
      }
    }
    if ((type->flags & XML_SCHEMAS_TYPE_VARIETY_LIST) != 0 && type->subtypes != nullptr && type->subtypes != type) {
      // A list's item type: a list of IDREF holds references.
      return kindOf(type->subtypes) == Kind::reference ? Kind::reference : Kind::none;
    }
    if ((type->flags & XML_SCHEMAS_TYPE_VARIETY_UNION) != 0) {
      return Kind::none;
    }
    type = type->baseType;
  }
  return Kind::none;
}

const SchemaIds::Plan& SchemaIds::planFor(const xmlSchemaType* type) {
  const auto known = plans.find(type);
  if (known != plans.end()) {
    return known->second;
  }
  Plan plan;
  const xmlSchemaType* content = type;
  if (type->type == XML_SCHEMA_TYPE_COMPLEX) {
    content = type->contentType == XML_SCHEMA_CONTENT_SIMPLE ? type->contentTypeDef : nullptr;
    for (const internals::AttributeType& attribute : internals::attributeTypes(*type)) {
      const Kind kind = kindOf(attribute.type);
      if (kind != Kind::none) {
        plan.attributes.push_back({attribute.name, attribute.targetNamespace, kind});
      }
    }
  }
  plan.content = kindOf(content);
  return plans.emplace(type, std::move(plan)).first->second;
}

void SchemaIds::anticipate(const ElementStart& element) const {
  const Plan* plan = guesses.find(element.localName);
  if (plan == nullptr) {
    return;
  }
  for (const Attribute& wanted : plan->attributes) {
    if (wanted.kind != Kind::id) {
      continue;
    }
    for (int i = 0; i < element.attributeCount; ++i) {
      const xmlChar** attribute = element.attributes + 5 * i;
      if (xmlStrEqual(attribute[0], wanted.name)) {
        ids->prefetch(collapsed({chars(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3])}));
        break;
      }
    }
  }
}

void SchemaIds::started(const xmlSchemaType* type, const ElementStart& element) {
  ++depth;
  if (type == nullptr) {
    return;
  }
  const Plan& plan = planFor(type);
  guesses.remember(element.localName, &plan);
  for (const Attribute& wanted : plan.attributes) {
    for (int i = 0; i < element.attributeCount; ++i) {
      const xmlChar** attribute = element.attributes + 5 * i;
      if (xmlStrEqual(attribute[0], wanted.name) && xmlStrEqual(attribute[2], wanted.targetNamespace)) {
        const std::string_view value(chars(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3]));
        take(wanted.kind, value, {element.uri, element.localName, attribute[2], attribute[0]});
        break;
      }
    }
  }
  if (plan.content != Kind::none) {
    gathering.push_back({depth, plan.content, {element.uri, element.localName, nullptr, nullptr}, std::string()});
  }
}

void SchemaIds::text(const unsigned char* data, int length) {
  if (!gathering.empty() && gathering.back().depth == depth) {
    gathering.back().text.append(chars(data), static_cast<std::size_t>(length));
  }
}

void SchemaIds::ended() {
  if (!gathering.empty() && gathering.back().depth == depth) {
    Open element = std::move(gathering.back());
    gathering.pop_back();
    take(element.kind, element.text, element.holder);
  }
  if (depth > 0) {
    --depth;
  }
}

std::string SchemaIds::Holder::text() const {
  std::string words = "Element '" + expandedName(elementUri, elementName) + "'";
  return attributeName != nullptr ? words + ", attribute '" + expandedName(attributeUri, attributeName) + "'" : words;
}

void SchemaIds::take(Kind kind, std::string_view value, const Holder& holder) {
  if (kind == Kind::reference) {
    ids->refer(value, holder.text(), line());
    return;
  }
  const std::string_view id = collapsed(value);
  if (!id.empty() && !ids->declare(id)) {
    fault(holder.text() + ": The ID '" + std::string(id) + "' is already defined.", 0);
  }
}

void SchemaIds::finish() {
  ids->forEachDangling([this](const std::string& where, int line, std::string_view name) {
    fault(where + ": No ID matches the IDREF '" + std::string(name) + "'.", line);
  });
  clear();
}

void SchemaIds::clear() {
  // The types die with the schema; another may take their addresses.
  plans.clear();
  guesses.clear();
  ids = std::make_unique<IdRegistry>();
  depth = 0;
  gathering.clear();
}

} // namespace platform::xml
