#include "platform/xml/FacetConsistency.h"

#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include <libxml/hash.h>
#include <libxml/schemasInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlschemastypes.h>

#include "platform/xml/LibxmlInternals.h"

namespace platform::xml {

namespace {

// A facet with the type that holds it.
struct Held {
  const xmlSchemaFacet* facet = nullptr;
  const xmlSchemaType* owner = nullptr;
};

// Two facets of which low may not exceed high (nor reach it, when strict).
struct Bound {
  xmlSchemaTypeType low;
  xmlSchemaTypeType high;
  bool strict;
};

constexpr Bound bounds[] = {
    {XML_SCHEMA_FACET_MINLENGTH, XML_SCHEMA_FACET_MAXLENGTH, false},
    {XML_SCHEMA_FACET_MINLENGTH, XML_SCHEMA_FACET_LENGTH, false},
    {XML_SCHEMA_FACET_LENGTH, XML_SCHEMA_FACET_MAXLENGTH, false},
    {XML_SCHEMA_FACET_MININCLUSIVE, XML_SCHEMA_FACET_MAXINCLUSIVE, false},
    {XML_SCHEMA_FACET_MINEXCLUSIVE, XML_SCHEMA_FACET_MAXEXCLUSIVE, false},
    {XML_SCHEMA_FACET_MININCLUSIVE, XML_SCHEMA_FACET_MAXEXCLUSIVE, true},
    {XML_SCHEMA_FACET_MINEXCLUSIVE, XML_SCHEMA_FACET_MAXINCLUSIVE, true},
    {XML_SCHEMA_FACET_FRACTIONDIGITS, XML_SCHEMA_FACET_TOTALDIGITS, false},
};

// How a restriction's facet may stand to the same facet of its base: the
// sign that compare(own, base) may have, besides 0.
struct Narrowing {
  xmlSchemaTypeType kind;
  int allowedSign;
};

constexpr Narrowing narrowings[] = {
    {XML_SCHEMA_FACET_LENGTH, 0},          {XML_SCHEMA_FACET_MINLENGTH, 1},
    {XML_SCHEMA_FACET_MAXLENGTH, -1},      {XML_SCHEMA_FACET_TOTALDIGITS, -1},
    {XML_SCHEMA_FACET_FRACTIONDIGITS, -1}, {XML_SCHEMA_FACET_MININCLUSIVE, 1},
    {XML_SCHEMA_FACET_MAXINCLUSIVE, -1},   {XML_SCHEMA_FACET_MINEXCLUSIVE, 1},
    {XML_SCHEMA_FACET_MAXEXCLUSIVE, -1},
};

bool countsItems(xmlSchemaTypeType kind) {
  return kind == XML_SCHEMA_FACET_LENGTH || kind == XML_SCHEMA_FACET_MINLENGTH ||
         kind == XML_SCHEMA_FACET_MAXLENGTH || kind == XML_SCHEMA_FACET_TOTALDIGITS ||
         kind == XML_SCHEMA_FACET_FRACTIONDIGITS;
}

bool derived(const xmlSchemaType* type) {
  return type != nullptr && (type->type == XML_SCHEMA_TYPE_SIMPLE || type->type == XML_SCHEMA_TYPE_COMPLEX);
}

// The sign of a - b, or nothing when the two values do not compare (two
// durations such as P1M and P30D, or a value libxml2 did not compile).
std::optional<int> compare(const xmlSchemaFacet& a, const xmlSchemaFacet& b) {
  if (a.val == nullptr || b.val == nullptr) {
    return std::nullopt;
  }
  if (countsItems(a.type)) {
    const unsigned long x = xmlSchemaGetFacetValueAsULong(const_cast<xmlSchemaFacetPtr>(&a));
    const unsigned long y = xmlSchemaGetFacetValueAsULong(const_cast<xmlSchemaFacetPtr>(&b));
    return (x > y) - (x < y);
  }
  const int order = xmlSchemaCompareValues(a.val, b.val);
  return order >= -1 && order <= 1 ? std::optional<int>(order) : std::nullopt;
}

// The facets that built-in types hold, which libxml2 knows by heart rather
// than as facets.
struct BuiltInFacet {
  xmlSchemaValType builtIn;
  xmlSchemaTypeType kind;
  const char* value;
  bool fixed;
};

constexpr BuiltInFacet builtInFacets[] = {
    {XML_SCHEMAS_INTEGER, XML_SCHEMA_FACET_FRACTIONDIGITS, "0", true},
    {XML_SCHEMAS_NPINTEGER, XML_SCHEMA_FACET_MAXINCLUSIVE, "0", false},
    {XML_SCHEMAS_NINTEGER, XML_SCHEMA_FACET_MAXINCLUSIVE, "-1", false},
    {XML_SCHEMAS_NNINTEGER, XML_SCHEMA_FACET_MININCLUSIVE, "0", false},
    {XML_SCHEMAS_PINTEGER, XML_SCHEMA_FACET_MININCLUSIVE, "1", false},
    {XML_SCHEMAS_LONG, XML_SCHEMA_FACET_MININCLUSIVE, "-9223372036854775808", false},
    {XML_SCHEMAS_LONG, XML_SCHEMA_FACET_MAXINCLUSIVE, "9223372036854775807", false},
    {XML_SCHEMAS_INT, XML_SCHEMA_FACET_MININCLUSIVE, "-2147483648", false},
    {XML_SCHEMAS_INT, XML_SCHEMA_FACET_MAXINCLUSIVE, "2147483647", false},
    {XML_SCHEMAS_SHORT, XML_SCHEMA_FACET_MININCLUSIVE, "-32768", false},
    {XML_SCHEMAS_SHORT, XML_SCHEMA_FACET_MAXINCLUSIVE, "32767", false},
    {XML_SCHEMAS_BYTE, XML_SCHEMA_FACET_MININCLUSIVE, "-128", false},
    {XML_SCHEMAS_BYTE, XML_SCHEMA_FACET_MAXINCLUSIVE, "127", false},
    {XML_SCHEMAS_ULONG, XML_SCHEMA_FACET_MAXINCLUSIVE, "18446744073709551615", false},
    {XML_SCHEMAS_UINT, XML_SCHEMA_FACET_MAXINCLUSIVE, "4294967295", false},
    {XML_SCHEMAS_USHORT, XML_SCHEMA_FACET_MAXINCLUSIVE, "65535", false},
    {XML_SCHEMAS_UBYTE, XML_SCHEMA_FACET_MAXINCLUSIVE, "255", false},
    {XML_SCHEMAS_NMTOKENS, XML_SCHEMA_FACET_MINLENGTH, "1", false},
    {XML_SCHEMAS_IDREFS, XML_SCHEMA_FACET_MINLENGTH, "1", false},
    {XML_SCHEMAS_ENTITIES, XML_SCHEMA_FACET_MINLENGTH, "1", false},
};

struct FacetDeleter {
  void operator()(xmlSchemaFacet* facet) const noexcept { xmlSchemaFreeFacet(facet); }
};

// builtInFacets as compiled facets, made once.
class BuiltIns {
public:
  BuiltIns() {
    for (const BuiltInFacet& entry : builtInFacets) {
      std::unique_ptr<xmlSchemaFacet, FacetDeleter> facet(xmlSchemaNewFacet());
      if (facet == nullptr) {
        continue;
      }
      facet->type = entry.kind;
      facet->value = reinterpret_cast<const xmlChar*>(entry.value);
      facet->fixed = entry.fixed ? 1 : 0;
      // Counts compile as nonNegativeInteger, bounds as the type's own values.
      const bool count = entry.kind == XML_SCHEMA_FACET_MINLENGTH || entry.kind == XML_SCHEMA_FACET_FRACTIONDIGITS;
      xmlSchemaValPredefTypeNode(xmlSchemaGetBuiltInType(count ? XML_SCHEMAS_NNINTEGER : entry.builtIn),
                                 facet->value, &facet->val, nullptr);
      facets.push_back({entry.builtIn, std::move(facet)});
    }
  }

  const xmlSchemaFacet* find(int builtIn, xmlSchemaTypeType kind) const {
    for (const auto& [type, facet] : facets) {
      if (type == builtIn && facet->type == kind && facet->val != nullptr) {
        return facet.get();
      }
    }
    return nullptr;
  }

private:
  std::vector<std::pair<int, std::unique_ptr<xmlSchemaFacet, FacetDeleter>>> facets;
};

const BuiltIns& builtIns() {
  static const BuiltIns made;
  return made;
}

// The facet of kind that type holds, or else the nearest type it restricts,
// built-in types included.
Held effective(const xmlSchemaType* type, xmlSchemaTypeType kind) {
  for (; derived(type); type = type->baseType) {
    for (const xmlSchemaFacet* facet = type->facets; facet != nullptr; facet = facet->next) {
      if (facet->type == kind) {
        return {facet, type};
      }
    }
  }
  // anyType is its own base.
  for (; type != nullptr && type->type == XML_SCHEMA_TYPE_BASIC && type->baseType != type; type = type->baseType) {
    if (const xmlSchemaFacet* facet = builtIns().find(type->builtInType, kind)) {
      return {facet, type};
    }
  }
  return {};
}

// How much white space handling a type does: 0 preserve, 1 replace, 2
// collapse; -1 when it is not known.
int whiteSpaceRank(const xmlSchemaType* type) {
  if (derived(type)) {
    return (type->flags & XML_SCHEMAS_TYPE_WHITESPACE_COLLAPSE)  ? 2
           : (type->flags & XML_SCHEMAS_TYPE_WHITESPACE_REPLACE) ? 1
           : (type->flags & XML_SCHEMAS_TYPE_WHITESPACE_PRESERVE) ? 0
                                                                  : -1;
  }
  if (type == nullptr || type->type != XML_SCHEMA_TYPE_BASIC) {
    return -1;
  }
  switch (type->builtInType) {
  case XML_SCHEMAS_ANYSIMPLETYPE:
  case XML_SCHEMAS_ANYTYPE: return -1;
  case XML_SCHEMAS_STRING: return 0;
  case XML_SCHEMAS_NORMSTRING: return 1;
  default: return 2;
  }
}

const char* kindName(xmlSchemaTypeType kind) {
  switch (kind) {
  case XML_SCHEMA_FACET_LENGTH: return "length";
  case XML_SCHEMA_FACET_MINLENGTH: return "minLength";
  case XML_SCHEMA_FACET_MAXLENGTH: return "maxLength";
  case XML_SCHEMA_FACET_MININCLUSIVE: return "minInclusive";
  case XML_SCHEMA_FACET_MAXINCLUSIVE: return "maxInclusive";
  case XML_SCHEMA_FACET_MINEXCLUSIVE: return "minExclusive";
  case XML_SCHEMA_FACET_MAXEXCLUSIVE: return "maxExclusive";
  case XML_SCHEMA_FACET_TOTALDIGITS: return "totalDigits";
  case XML_SCHEMA_FACET_FRACTIONDIGITS: return "fractionDigits";
  case XML_SCHEMA_FACET_WHITESPACE: return "whiteSpace";
  default: return "?";
  }
}

std::string text(const xmlChar* value) { return value != nullptr ? reinterpret_cast<const char*>(value) : ""; }

std::string shown(const xmlSchemaFacet& facet) {
  return std::string("'") + kindName(facet.type) + "' (" + text(facet.value) + ")";
}

std::string typeName(const xmlSchemaType& type) {
  return type.name != nullptr ? "type '" + text(type.name) + "'" : std::string("an anonymous type");
}

class Checker {
public:
  explicit Checker(const std::function<void(const FacetViolation&)>& report) : report(report) {}

  void visit(const xmlSchemaType* type);
  std::size_t violations = 0;

private:
  void checkBounds(const xmlSchemaType& type);
  void checkNarrowing(const xmlSchemaType& type);
  void checkWhiteSpace(const xmlSchemaType& type);
  void add(const xmlSchemaFacet& at, std::string message);

  const std::function<void(const FacetViolation&)>& report;
  std::unordered_set<const xmlSchemaType*> visited;
};

void Checker::add(const xmlSchemaFacet& at, std::string message) {
  FacetViolation violation;
  if (at.node != nullptr) {
    violation.line = xmlGetLineNo(at.node);
    if (at.node->doc != nullptr) {
      violation.location = text(at.node->doc->URL);
    }
  }
  violation.message = std::move(message);
  ++violations;
  report(violation);
}

// Every pair of bounds of which the type holds at least one itself; a pair
// that it inherits whole was reported at the type that holds it.
void Checker::checkBounds(const xmlSchemaType& type) {
  for (const Bound& bound : bounds) {
    const Held low = effective(&type, bound.low);
    const Held high = effective(&type, bound.high);
    if (low.facet == nullptr || high.facet == nullptr || (low.owner != &type && high.owner != &type)) {
      continue;
    }
    const std::optional<int> order = compare(*low.facet, *high.facet);
    if (!order || *order < 0 || (*order == 0 && !bound.strict)) {
      continue;
    }
    const char* exceeds = bound.strict ? "is not less than " : "is greater than ";
    if (low.owner == high.owner) {
      add(*low.facet, "facet " + shown(*low.facet) + " " + exceeds + shown(*high.facet) + " of " + typeName(type));
    } else if (low.owner == &type) {
      add(*low.facet, "facet " + shown(*low.facet) + " of " + typeName(type) + " " + exceeds +
                          shown(*high.facet) + " of its base " + typeName(*high.owner));
    } else {
      add(*high.facet, "facet " + shown(*high.facet) + " of " + typeName(type) + " " +
                           (bound.strict ? "is not greater than " : "is less than ") + shown(*low.facet) +
                           " of its base " + typeName(*low.owner));
    }
  }
}

// Each facet the type holds against the same facet of the types it restricts.
void Checker::checkNarrowing(const xmlSchemaType& type) {
  for (const Narrowing& narrowing : narrowings) {
    const Held own = effective(&type, narrowing.kind);
    const Held base = effective(type.baseType, narrowing.kind);
    if (own.owner != &type || base.facet == nullptr) {
      continue;
    }
    const std::optional<int> order = compare(*own.facet, *base.facet);
    if (!order || *order == 0) {
      continue;
    }
    const std::string against = shown(*base.facet) + " of its base " + typeName(*base.owner);
    const std::string facet = "facet " + shown(*own.facet) + " of " + typeName(type);
    if (base.facet->fixed != 0) {
      add(*own.facet, facet + " differs from the fixed " + against);
    } else if (*order != narrowing.allowedSign) {
      add(*own.facet, facet + (narrowing.allowedSign == 0 ? " differs from "
                               : *order > 0                ? " is greater than "
                                                           : " is less than ") +
                          against);
    }
  }
}

// A restriction may collapse more white space than its base, never less.
void Checker::checkWhiteSpace(const xmlSchemaType& type) {
  const Held own = effective(&type, XML_SCHEMA_FACET_WHITESPACE);
  const int base = whiteSpaceRank(type.baseType);
  if (own.owner != &type || base < 0 || (type.flags & XML_SCHEMAS_TYPE_VARIETY_ATOMIC) == 0) {
    return;
  }
  static const char* const names[] = {"preserve", "replace", "collapse"};
  const std::string value = text(own.facet->value);
  for (int rank = 0; rank < base; ++rank) {
    if (value == names[rank]) {
      add(*own.facet, "facet " + shown(*own.facet) + " of " + typeName(type) + " keeps white space that its base " +
                          typeName(*type.baseType) + " " + (base == 2 ? "collapses" : "replaces"));
    }
  }
}

void Checker::visit(const xmlSchemaType* type) {
  if (!derived(type) || !visited.insert(type).second) {
    return;
  }
  if (type->facets != nullptr) {
    checkBounds(*type);
    checkNarrowing(*type);
    checkWhiteSpace(*type);
  }
  visit(type->baseType);
  if (type->type == XML_SCHEMA_TYPE_SIMPLE) {
    visit(type->subtypes); // a list's item type, or a restriction's local base
    for (const xmlSchemaTypeLink* member = type->memberTypes; member != nullptr; member = member->next) {
      visit(member->type);
    }
    return;
  }
  visit(type->contentTypeDef);
  for (const xmlSchemaType* local : internals::localTypes(*type)) {
    visit(local);
  }
}

template <typename Declaration>
void visitDeclarations(xmlHashTablePtr table, Checker& checker) {
  xmlHashScan(
      table,
      [](void* payload, void* data, const xmlChar*) {
        static_cast<Checker*>(data)->visit(static_cast<const Declaration*>(payload)->subtypes);
      },
      &checker);
}

} // namespace

std::size_t checkFacetConsistency(const _xmlSchema& schema,
                                  const std::function<void(const FacetViolation&)>& report) {
  Checker checker(report);
  xmlHashScan(
      schema.typeDecl,
      [](void* payload, void* data, const xmlChar*) {
        static_cast<Checker*>(data)->visit(static_cast<const xmlSchemaType*>(payload));
      },
      &checker);
  visitDeclarations<xmlSchemaElement>(schema.elemDecl, checker);
  visitDeclarations<xmlSchemaAttribute>(schema.attrDecl, checker);
  return checker.violations;
}

} // namespace platform::xml
