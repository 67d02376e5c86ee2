#include "platform/xml/StandaloneAttributes.h"

#include <algorithm>

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

namespace platform::xml {

namespace {

std::string text(const xmlChar* value) { return value != nullptr ? reinterpret_cast<const char*>(value) : ""; }

std::string qualified(const xmlChar* localName, const xmlChar* prefix) {
  return prefix != nullptr ? text(prefix) + ":" + text(localName) : text(localName);
}

} // namespace

void StandaloneAttributes::declared(xmlParserCtxtPtr context, const xmlChar* element, const xmlChar* attribute,
                                    int type) {
  if (context->standalone != 1 || !context->validate) {
    return;
  }
  // A declaration read anywhere but directly from the document entity is
  // external: in the external subset, or in a parameter entity (internal
  // ones too, which a processor that reads no DTD need not expand).
  const bool external = context->inSubset == 2 || context->inputNr > 1;
  declarations.emplace(Key(text(element), text(attribute)), external && type != XML_ATTRIBUTE_CDATA);
}

// libxml2 normalizes the values of the attributes its table of special
// attributes names; without their entries the values reach check() as
// written (with only white space characters made spaces).
void StandaloneAttributes::dtdComplete(xmlParserCtxtPtr context) {
  for (const auto& [key, watch] : declarations) {
    if (!watch) {
      continue;
    }
    watched.insert(key);
    if (context->attsSpecial != nullptr) {
      xmlHashRemoveEntry2(context->attsSpecial, reinterpret_cast<const xmlChar*>(key.first.c_str()),
                          reinterpret_cast<const xmlChar*>(key.second.c_str()), nullptr);
    }
  }
  declarations.clear();
}

ElementStart StandaloneAttributes::check(const ElementStart& element, std::vector<std::string>& changed) {
  ElementStart normalized = element;
  const std::string elementName = qualified(element.localName, element.prefix);
  const int written = element.attributeCount - element.defaultedCount;
  attributes.assign(element.attributes, element.attributes + 5 * element.attributeCount);
  values.clear();
  values.reserve(static_cast<std::size_t>(written));
  for (int i = 0; i < written; ++i) {
    const xmlChar** attribute = attributes.data() + 5 * i;
    const std::string name = qualified(attribute[0], attribute[1]);
    if (watched.count(Key(elementName, name)) == 0) {
      continue;
    }
    const std::string value(reinterpret_cast<const char*>(attribute[3]),
                            static_cast<std::size_t>(attribute[4] - attribute[3]));
    std::string& tokens = values.emplace_back();
    for (std::size_t at = value.find_first_not_of(' '); at != std::string::npos;) {
      const std::size_t end = std::min(value.find(' ', at), value.size());
      tokens += (tokens.empty() ? "" : " ") + value.substr(at, end - at);
      at = value.find_first_not_of(' ', end);
    }
    if (tokens == value) {
      continue;
    }
    changed.push_back(name);
    attribute[3] = reinterpret_cast<const xmlChar*>(tokens.data());
    attribute[4] = attribute[3] + tokens.size();
  }
  normalized.attributes = attributes.data();
  return normalized;
}

} // namespace platform::xml
