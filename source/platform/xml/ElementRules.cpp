#include "platform/xml/ElementRules.h"

#include <libxml/hash.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlstring.h>

#include "platform/xml/LibxmlInternals.h"

namespace platform::xml {

namespace {

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

} // namespace

// A document read under the rules of the XML 1.0 editions before the fifth
// checks names by those rules, which xmlValidateAttributeValue does not
// apply: its tags are all left to libxml2.
ElementRules::ElementRules(xmlDocPtr document)
    : document(document), usable(document != nullptr && (document->properties & XML_DOC_OLD10) == 0) {
  if (document != nullptr) {
    gatherAttlistOnlyNames();
  }
}

// Gathered once the DTD is complete, so that other documents pay nothing
// per element.
void ElementRules::gatherAttlistOnlyNames() {
  struct Gathering {
    xmlDocPtr document;
    std::set<std::string>& names;
  } gathering{document, attlistOnlyNames};
  const auto gather = [](void* payload, void* data, const xmlChar* name, const xmlChar* prefix,
                         const xmlChar*) {
    auto& [document, names] = *static_cast<Gathering*>(data);
    if (static_cast<xmlElementPtr>(payload)->etype != XML_ELEMENT_TYPE_UNDEFINED) {
      return;
    }
    for (xmlDtdPtr dtd : {document->intSubset, document->extSubset}) {
      const xmlElementPtr declaration =
          dtd == nullptr ? nullptr
          : prefix != nullptr ? xmlGetDtdQElementDesc(dtd, name, prefix)
                              : xmlGetDtdElementDesc(dtd, name);
      if (declaration != nullptr && declaration->etype != XML_ELEMENT_TYPE_UNDEFINED) {
        return;
      }
    }
    names.insert(prefix != nullptr ? std::string(text(prefix)) + ":" + text(name) : text(name));
  };
  for (xmlDtdPtr dtd : {document->intSubset, document->extSubset}) {
    if (dtd != nullptr && dtd->elements != nullptr) {
      xmlHashScanFull(static_cast<xmlHashTablePtr>(dtd->elements), gather, &gathering);
    }
  }
}

int ElementRules::declaredType(xmlDocPtr document, const xmlChar* name, const xmlChar* prefix, bool& external) {
  for (xmlDtdPtr dtd : {document->intSubset, document->extSubset}) {
    if (dtd == nullptr) {
      continue;
    }
    xmlElementPtr declaration = prefix != nullptr ? xmlGetDtdQElementDesc(dtd, name, prefix) : nullptr;
    if (declaration == nullptr) {
      declaration = xmlGetDtdElementDesc(dtd, name);
    }
    if (declaration != nullptr && declaration->etype != XML_ELEMENT_TYPE_UNDEFINED) {
      external = dtd == document->extSubset;
      return declaration->etype;
    }
  }
  return XML_ELEMENT_TYPE_UNDEFINED;
}

// The declaration libxml2 validates an element against: the internal
// subset's entry when there is one (an ATTLIST alone makes an undeclared
// one), else the external subset's.
ElementRules::Type& ElementRules::type(const xmlChar* name) {
  const auto [found, added] = types.try_emplace(name);
  Type& made = found->second;
  if (!added) {
    return made;
  }
  xmlElementPtr element = document->intSubset != nullptr ? xmlGetDtdElementDesc(document->intSubset, name) : nullptr;
  if (element == nullptr && document->extSubset != nullptr) {
    element = xmlGetDtdElementDesc(document->extSubset, name);
  }
  if (element == nullptr || element->etype == XML_ELEMENT_TYPE_UNDEFINED ||
      attlistOnly(text(name))) {
    return made;
  }
  for (xmlAttributePtr attribute = element->attributes; attribute != nullptr; attribute = attribute->nexth) {
    if (attribute->def != XML_ATTRIBUTE_REQUIRED) {
      continue;
    }
    if (attribute->prefix != nullptr || xmlStrEqual(attribute->name, reinterpret_cast<const xmlChar*>("xmlns"))) {
      made.required.clear();
      return made;
    }
    made.required.push_back(attribute->name);
  }
  made.usable = true;
  return made;
}

// As libxml2 finds an unprefixed attribute's declaration on an unprefixed
// element: in the internal subset first.
xmlAttributePtr ElementRules::declaration(Type& type, const xmlChar* element, const xmlChar* name) {
  for (const Attribute& known : type.attributes) {
    if (known.name == name) {
      return known.declaration;
    }
  }
  xmlAttributePtr found = document->intSubset != nullptr
                              ? xmlGetDtdQAttrDesc(document->intSubset, element, name, nullptr)
                              : nullptr;
  if (found == nullptr && document->extSubset != nullptr) {
    found = xmlGetDtdQAttrDesc(document->extSubset, element, name, nullptr);
  }
  type.attributes.push_back({name, found});
  return found;
}

bool ElementRules::valueAdmitted(const xmlAttribute& declaration, const xmlChar* start, const xmlChar* end) {
  if (declaration.def != XML_ATTRIBUTE_FIXED) {
    if (declaration.atype == XML_ATTRIBUTE_CDATA) {
      return true; // any text will do
    }
    if (declaration.atype == XML_ATTRIBUTE_ENUMERATION) {
      // The names an enumeration lists are name tokens (the DTD's grammar).
      return internals::enumerates(declaration, start, static_cast<std::size_t>(end - start));
    }
  }
  value.assign(text(start), static_cast<std::size_t>(end - start));
  const auto* terminated = reinterpret_cast<const xmlChar*>(value.c_str());
  switch (declaration.atype) {
  case XML_ATTRIBUTE_CDATA:
    break;
  case XML_ATTRIBUTE_ID:
  case XML_ATTRIBUTE_IDREF:
  case XML_ATTRIBUTE_IDREFS:
    // A colon is the pass's own report (NCName values under namespaces).
    if (value.find(':') != std::string::npos) {
      return false;
    }
    [[fallthrough]];
  case XML_ATTRIBUTE_NMTOKEN:
  case XML_ATTRIBUTE_NMTOKENS:
  case XML_ATTRIBUTE_ENUMERATION:
    if (xmlValidateAttributeValue(declaration.atype, terminated) != 1) {
      return false;
    }
    break;
  default:
    // ENTITY, ENTITIES and NOTATION values name declarations: libxml2's.
    return false;
  }
  if (declaration.def == XML_ATTRIBUTE_FIXED && !xmlStrEqual(terminated, declaration.defaultValue)) {
    return false;
  }
  if (declaration.atype == XML_ATTRIBUTE_ENUMERATION) {
    return internals::enumerates(declaration, terminated, value.size());
  }
  return true;
}

bool ElementRules::admits(const ElementStart& element, std::vector<IdValue>& ids) {
  ids.clear();
  if (!usable || element.prefix != nullptr || element.namespaceCount != 0) {
    return false;
  }
  Type& rules = type(element.localName);
  if (!rules.usable) {
    return false;
  }
  std::size_t present = 0;
  int idAttributes = 0;
  for (int i = 0; i < element.attributeCount; ++i) {
    const xmlChar* const* attribute = element.attributes + 5 * i;
    if (attribute[1] != nullptr) {
      return false;
    }
    const xmlAttributePtr declared = declaration(rules, element.localName, attribute[0]);
    if (declared == nullptr || !valueAdmitted(*declared, attribute[3], attribute[4])) {
      return false;
    }
    if (declared->def == XML_ATTRIBUTE_REQUIRED) {
      for (const xmlChar* name : rules.required) {
        present += xmlStrEqual(name, attribute[0]) ? 1 : 0;
      }
    }
    const bool id = declared->atype == XML_ATTRIBUTE_ID;
    if (id || declared->atype == XML_ATTRIBUTE_IDREF || declared->atype == XML_ATTRIBUTE_IDREFS) {
      // Two ID attributes are a fault of the DTD, whose duplicates libxml2
      // words on the element.
      if (id && ++idAttributes > 1) {
        return false;
      }
      ids.push_back({id, text(attribute[0]),
                     std::string_view(text(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3]))});
    }
  }
  // The names of a tag are distinct: each required one was counted once.
  return present == rules.required.size();
}

} // namespace platform::xml
