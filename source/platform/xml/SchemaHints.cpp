#include "platform/xml/SchemaHints.h"

#include <algorithm>
#include <utility>

namespace platform::xml {

namespace {

const char* const blanks = " \t\r\n";

std::string escaped(const std::string& value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '"': out += "&quot;"; break;
    default: out.push_back(c);
    }
  }
  return out;
}

// The white-space separated tokens of value.
std::vector<std::string> tokens(const std::string& value) {
  std::vector<std::string> found;
  std::size_t position = value.find_first_not_of(blanks);
  while (position != std::string::npos) {
    const std::size_t end = std::min(value.find_first_of(blanks, position), value.size());
    found.push_back(value.substr(position, end - position));
    position = value.find_first_not_of(blanks, end);
  }
  return found;
}

} // namespace

void SchemaHints::read(EntityLoader::Scope& loads, const std::string& base, const std::string& value, bool pairs,
                       std::vector<Location>& fresh, std::vector<std::string>& problems) {
  if (!pairs) {
    // One URI, which may hold spaces of its own.
    const std::size_t start = value.find_first_not_of(blanks);
    if (start != std::string::npos) {
      const std::string location = value.substr(start, value.find_last_not_of(blanks) + 1 - start);
      take({"", loads.resolve(base, location)}, "xsi:noNamespaceSchemaLocation", fresh, problems);
    }
    return;
  }
  const std::vector<std::string> list = tokens(value);
  for (std::size_t i = 0; i + 1 < list.size(); i += 2) {
    take({list[i], loads.resolve(base, list[i + 1])}, "xsi:schemaLocation", fresh, problems);
  }
  if (list.size() % 2 != 0) {
    problems.push_back("xsi:schemaLocation must hold pairs of namespace and location; '" + list.back() +
                       "' has no location");
  }
}

void SchemaHints::take(Location location, const char* attribute, std::vector<Location>& fresh,
                       std::vector<std::string>& problems) {
  if (taken(location)) {
    return; // the same schema document again
  }
  if (used(location.targetNamespace)) {
    problems.push_back(std::string(attribute) + " names a schema for " +
                       (location.targetNamespace.empty() ? std::string("no namespace")
                                                         : "namespace '" + location.targetNamespace + "'") +
                       " after elements or attributes of it have been validated; it is not read");
    return;
  }
  locations.push_back(location);
  fresh.push_back(std::move(location));
}

bool SchemaHints::taken(const Location& location) const {
  return std::any_of(locations.begin(), locations.end(), [&location](const Location& known) {
    return known.uri == location.uri && known.targetNamespace == location.targetNamespace;
  });
}

bool SchemaHints::used(const std::string& namespaceName) const {
  return std::find(namespaces.begin(), namespaces.end(), namespaceName) != namespaces.end();
}

void SchemaHints::noteUsed(const char* namespaceName) {
  lastUsed[nextUsed] = namespaceName;
  nextUsed = (nextUsed + 1) % lastUsed.size();
  const std::string name = namespaceName != nullptr ? namespaceName : "";
  if (!used(name)) {
    namespaces.push_back(name);
  }
}

std::string SchemaHints::composition(const std::vector<Location>& imported, const std::string& targetNamespace) {
  std::string schema = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"" +
                       escaped(targetNamespace) + "\">\n";
  for (const Location& location : imported) {
    schema += "  <xs:import";
    if (!location.targetNamespace.empty()) {
      schema += " namespace=\"" + escaped(location.targetNamespace) + "\"";
    }
    schema += " schemaLocation=\"" + escaped(location.uri) + "\"/>\n";
  }
  return schema + "</xs:schema>\n";
}

void SchemaHints::clear() {
  locations.clear();
  namespaces.clear();
  lastUsed.fill(noneYet);
  nextUsed = 0;
}

} // namespace platform::xml
