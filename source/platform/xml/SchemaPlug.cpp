#include "platform/xml/SchemaPlug.h"

#include <cstring>
#include <vector>

#include <libxml/parserInternals.h>

#include "platform/xml/ResourceName.h"

namespace platform::xml {

namespace {

const char* const xsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// Text up to this length goes to the schema layer as it comes (see text()).
constexpr std::size_t directTextLength = std::size_t{64} << 10;

const char* chars(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

bool isXsiHint(const xmlChar** attribute) {
  return attribute[2] != nullptr && std::strcmp(chars(attribute[2]), xsiNamespace) == 0 &&
         (std::strcmp(chars(attribute[0]), "schemaLocation") == 0 ||
          std::strcmp(chars(attribute[0]), "noNamespaceSchemaLocation") == 0);
}

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

// A schema that imports each namespace of an xsi:schemaLocation value and
// includes the no-namespace schema.
std::string hintSchema(const std::string& pairs, const std::string& noNamespaceLocation) {
  std::string schema = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
  std::size_t position = 0;
  while (position < pairs.size()) {
    const std::size_t namespaceEnd = pairs.find(' ', position);
    if (namespaceEnd == std::string::npos) {
      break;
    }
    std::size_t locationEnd = pairs.find(' ', namespaceEnd + 1);
    if (locationEnd == std::string::npos) {
      locationEnd = pairs.size();
    }
    schema += "  <xs:import namespace=\"" + escaped(pairs.substr(position, namespaceEnd - position)) +
              "\" schemaLocation=\"" +
              escaped(pairs.substr(namespaceEnd + 1, locationEnd - namespaceEnd - 1)) + "\"/>\n";
    position = locationEnd + 1;
  }
  schema += "  <xs:include schemaLocation=\"" + escaped(noNamespaceLocation) + "\"/>\n</xs:schema>\n";
  return schema;
}

// Schema locations in xsi hints are relative to the entity that holds them;
// libxml2 would take them relative to the current directory, and give up on
// one with a space or a non-ASCII letter.
std::string resolveHint(EntityLoader::Scope& loads, const std::string& base, const xmlChar* value,
                        const xmlChar* valueEnd, bool pairs) {
  const std::string hint(chars(value), static_cast<std::size_t>(valueEnd - value));
  std::string resolved;
  std::size_t position = 0;
  bool isLocation = !pairs;
  while (position < hint.size()) {
    const std::size_t start = hint.find_first_not_of(" \t\r\n", position);
    if (start == std::string::npos) {
      break;
    }
    // A no-namespace location is one URI, which may hold spaces of its own;
    // the pairs of schemaLocation are separated by white space.
    std::size_t end = pairs ? hint.find_first_of(" \t\r\n", start) : hint.find_last_not_of(" \t\r\n") + 1;
    if (end == std::string::npos) {
      end = hint.size();
    }
    std::string token = hint.substr(start, end - start);
    if (isLocation) {
      token = loads.resolve(base, token);
    }
    if (!resolved.empty()) {
      resolved.push_back(' ');
    }
    resolved += token;
    if (pairs) {
      isLocation = !isLocation;
    }
    position = end;
  }
  return resolved;
}

// The schemas the hints name are read while the schema layer takes the
// element that holds them.
class Assembly {
public:
  Assembly(EntityLoader::Scope& loads, bool remote) : loads(loads) { loads.beginSchemaAssembly(remote); }
  Assembly(const Assembly&) = delete;
  Assembly& operator=(const Assembly&) = delete;
  ~Assembly() { loads.endSchemaAssembly(); }

private:
  EntityLoader::Scope& loads;
};

} // namespace

SchemaPlug::SchemaPlug(ErrorHandler errors, void* errorData, Locator locator, void* locatorData)
    : errors(errors), errorData(errorData), locator(locator), locatorData(locatorData) {}

bool SchemaPlug::holdsHint(const ElementStart& element) {
  for (int i = 0; i < element.attributeCount; ++i) {
    if (isXsiHint(element.attributes + 5 * i)) {
      return true;
    }
  }
  return false;
}

void SchemaPlug::start(std::size_t depth) {
  schema.reset(xmlSchemaNewValidCtxt(nullptr));
  if (schema == nullptr) {
    return;
  }
  xmlSchemaSetValidStructuredErrors(schema.get(), errors, errorData);
  xmlSchemaValidateSetLocator(schema.get(), locator, locatorData);
  handler = nullptr;
  handlerData = nullptr;
  // A null handler gives the schema layer's direct handlers, which this
  // pass calls itself, in the order it chooses.
  plug = xmlSchemaSAXPlug(schema.get(), &handler, &handlerData);
  if (plug == nullptr) {
    schema.reset();
  }
  rootDepth = depth;
}

void SchemaPlug::stop() {
  if (plug != nullptr) {
    xmlSchemaSAXUnplug(plug);
    plug = nullptr;
  }
  handler = nullptr;
  handlerData = nullptr;
  schema.reset();
  textRun = 0;
  pendingText.clear();
  blankCdataForwarded = false;
}

// After an internal error the schema layer has no element to give events to
// (libxml2 would stop a parser that it drives itself, which this pass's is
// not), so the schema validation ends there; the error itself has been
// reported.
void SchemaPlug::stopAfterFailure() {
  stop();
  failed = false;
}

void SchemaPlug::forward(const ElementStart& element) {
  handler->startElementNs(handlerData, element.localName, element.prefix, element.uri,
                          element.namespaceCount, element.namespaces, element.attributeCount,
                          element.defaultedCount, element.attributes);
}

void SchemaPlug::startElement(EntityLoader::Scope& loads, const char* base, const ElementStart& element) {
  endTextRun();
  int pairsAt = -1;
  int singleAt = -1;
  for (int i = 0; i < element.attributeCount; ++i) {
    if (isXsiHint(element.attributes + 5 * i)) {
      (std::strcmp(chars(element.attributes[5 * i]), "schemaLocation") == 0 ? pairsAt : singleAt) = i;
    }
  }
  if (pairsAt < 0 && singleAt < 0) {
    forward(element);
  } else {
    forwardWithHints(loads, base, element, pairsAt, singleAt);
  }
}

// Hands an element start to the schema layer with its hints resolved.
void SchemaPlug::forwardWithHints(EntityLoader::Scope& loads, const std::string& base, ElementStart element,
                                  int pairsAt, int singleAt) {
  const Assembly assembly(loads, isRemoteUrl(base));
  std::vector<const xmlChar*> forwarded(element.attributes, element.attributes + 5 * element.attributeCount);
  const auto hint = [&](int index, bool pairs) {
    return index < 0 ? std::string()
                     : resolveHint(loads, base, forwarded[5 * index + 3], forwarded[5 * index + 4], pairs);
  };
  const std::string pairs = hint(pairsAt, true);
  std::string single = hint(singleAt, false);
  if (pairsAt >= 0 && singleAt >= 0) {
    // libxml2 reads only one of the two hints of an element: a small schema
    // that includes the no-namespace one and imports the others carries both.
    single = loads.addGeneratedSchema(base, hintSchema(pairs, single));
    forwarded.erase(forwarded.begin() + 5 * pairsAt, forwarded.begin() + 5 * pairsAt + 5);
    if (pairsAt >= element.attributeCount - element.defaultedCount) {
      --element.defaultedCount;
    }
    --element.attributeCount;
    if (singleAt > pairsAt) {
      --singleAt;
    }
    pairsAt = -1;
  }
  const auto setValue = [&forwarded](int index, const std::string& value) {
    if (index >= 0) {
      forwarded[5 * index + 3] = reinterpret_cast<const xmlChar*>(value.c_str());
      forwarded[5 * index + 4] = reinterpret_cast<const xmlChar*>(value.c_str() + value.size());
    }
  };
  setValue(pairsAt, pairs);
  setValue(singleAt, single);
  element.attributes = forwarded.data();
  forward(element);
}

void SchemaPlug::endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                            std::size_t depth) {
  endTextRun();
  handler->endElementNs(handlerData, localName, prefix, uri);
  if (depth == rootDepth) {
    stop();
  }
}

// The schema layer adds each piece of an element's text to what it holds by
// measuring that first, so piece by piece a long text costs time quadratic in
// its length. Short runs of text go to it as they come; beyond that, the
// pieces are gathered until they make a quarter of what it already holds.
void SchemaPlug::text(const xmlChar* data, int length) {
  const std::size_t size = static_cast<std::size_t>(length);
  if (pendingText.empty() && textRun + size <= directTextLength) {
    textRun += size;
    handler->characters(handlerData, data, length);
    return;
  }
  pendingText.append(chars(data), size);
  if (pendingText.size() * 4 >= textRun || pendingText.size() >= (std::size_t{1} << 28)) {
    const std::string gathered = std::move(pendingText);
    pendingText.clear();
    textRun += gathered.size();
    handler->characters(handlerData, reinterpret_cast<const xmlChar*>(gathered.data()),
                        static_cast<int>(gathered.size()));
  }
}

// A CDATA section is text to the schema layer, except where only white space
// is allowed: there a blank one is still a fault, which one section per run
// is enough to show.
void SchemaPlug::cdata(const xmlChar* data, int length) {
  bool blank = true;
  for (int i = 0; i < length && blank; ++i) {
    blank = IS_BLANK_CH(data[i]);
  }
  if (!blank || blankCdataForwarded) {
    text(data, length);
    return;
  }
  const std::size_t runBefore = textRun + pendingText.size();
  endTextRun();
  blankCdataForwarded = true;
  textRun = runBefore + static_cast<std::size_t>(length);
  if (handler != nullptr) {
    handler->cdataBlock(handlerData, data, length);
  }
}

// Hands the gathered text over: a tag ends the run.
void SchemaPlug::endTextRun() {
  if (!pendingText.empty() && handler != nullptr) {
    handler->characters(handlerData, reinterpret_cast<const xmlChar*>(pendingText.data()),
                        static_cast<int>(pendingText.size()));
  }
  textRun = 0;
  pendingText.clear();
  blankCdataForwarded = false;
}

} // namespace platform::xml
