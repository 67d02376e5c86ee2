#include "platform/xml/SchemaPlug.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <libxml/parserInternals.h>

#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/SimpleValueCheck.h"

namespace platform::xml {

namespace {

const char* const xsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// Text up to this length goes to the schema layer as it comes (see text()).
constexpr std::size_t directTextLength = std::size_t{64} << 10;

// Compositions of hints take namespaces of this stem, which no document uses.
const char* const compositionNamespace = "urn:x-vexlor:schema-hints:";

// libxml2 validates a validation root only by a global declaration of its
// name, never by its xsi:type alone (XSD allows either). A root that
// carries xsi:type is validated as the one child of this element, whose lax
// wildcard takes its declaration when there is one and its xsi:type when
// there is none, as for the root.
const char* const wrapperNamespace = "urn:x-vexlor:validation-root";
const char* const wrapperName = "root";
const char* const wrapperSchema =
    "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"urn:x-vexlor:validation-root\">"
    "<xs:element name=\"root\"><xs:complexType><xs:sequence>"
    "<xs:any namespace=\"##any\" processContents=\"lax\"/>"
    "</xs:sequence></xs:complexType></xs:element></xs:schema>";

const char* chars(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

bool isXsiHint(const xmlChar** attribute) {
  return attribute[2] != nullptr && std::strcmp(chars(attribute[2]), xsiNamespace) == 0 &&
         (std::strcmp(chars(attribute[0]), "schemaLocation") == 0 ||
          std::strcmp(chars(attribute[0]), "noNamespaceSchemaLocation") == 0);
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

bool hasXsiType(const ElementStart& element) {
  for (int i = 0; i < element.attributeCount; ++i) {
    const xmlChar** attribute = element.attributes + 5 * i;
    if (attribute[2] != nullptr && std::strcmp(chars(attribute[2]), xsiNamespace) == 0 &&
        std::strcmp(chars(attribute[0]), "type") == 0) {
      return true;
    }
  }
  return false;
}

} // namespace

SchemaPlug::SchemaPlug(ErrorHandler errors, void* errorData, Locator locator, void* locatorData)
    : errors(errors), errorData(errorData), locator(locator), locatorData(locatorData),
      ids([this](const std::string& message, int line) { reportFault(message, line); },
          [this] {
            const char* file = nullptr;
            unsigned long line = 0;
            this->locator(this->locatorData, &file, &line);
            return static_cast<int>(line);
          }) {}

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
  // Hints are read where forwardWithHints hands them over, and nowhere else.
  internals::readHints(schema.get(), false);
  rootDepth = depth;
  wrapped = false;
  rootForwarded = false;
}

void SchemaPlug::stop() {
  if (plug != nullptr) {
    // Unplugging frees the schema assembled from hints only while hints are read.
    internals::readHints(schema.get(), true);
    xmlSchemaSAXUnplug(plug);
    plug = nullptr;
  }
  handler = nullptr;
  handlerData = nullptr;
  schema.reset();
  hints.clear();
  ids.clear();
  attributes.clear();
  compositions = 0;
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
  handledName = element.localName;
  handledNamespace = element.uri;
  ids.anticipate(element);
  {
    internals::UncheckedAttributes unchecked;
    attributes.check(schema.get(), element, unchecked);
    handler->startElementNs(handlerData, element.localName, element.prefix, element.uri,
                            element.namespaceCount, element.namespaces, element.attributeCount,
                            element.defaultedCount, element.attributes);
  }
  if (!failed) {
    const _xmlSchemaType* type = internals::startedElementType(schema.get(), element.localName);
    ids.started(type, element);
    attributes.started(type, element);
  }
}

void SchemaPlug::startElement(EntityLoader::Scope& loads, const ElementStart& element) {
  endTextRun();
  if (holdsHint(element)) {
    // The hints are resolved against the entity that holds them: the one
    // the locator names.
    const char* base = nullptr;
    unsigned long line = 0;
    locator(locatorData, &base, &line);
    if (!forwardWithHints(loads, base != nullptr ? base : "", element)) {
      stop();
      return;
    }
  } else {
    forward(element);
  }
  noteNamespaces(element);
}

void SchemaPlug::noteNamespaces(const ElementStart& element) {
  hints.use(chars(element.uri));
  for (int i = 0; i < element.attributeCount; ++i) {
    // Unqualified attributes are the element's own; xsi's count as any.
    const xmlChar* uri = element.attributes[5 * i + 2];
    if (uri != nullptr) {
      hints.use(chars(uri));
    }
  }
}

// Hands an element start to the schema layer with one hint in place of its
// own (see hintFor), unless no hint so far names a schema.
bool SchemaPlug::forwardWithHints(EntityLoader::Scope& loads, const std::string& base, ElementStart element) {
  const Assembly assembly(loads, isRemoteUrl(base));
  attributes.clear();
  std::vector<SchemaHints::Location> fresh;
  std::vector<std::string> problems;
  // Room for the hint that stands for them all, first.
  std::vector<const xmlChar*> forwarded(5, nullptr);
  int defaultedCount = element.defaultedCount;
  for (int i = 0; i < element.attributeCount; ++i) {
    const xmlChar** attribute = element.attributes + 5 * i;
    if (!isXsiHint(attribute)) {
      forwarded.insert(forwarded.end(), attribute, attribute + 5);
      continue;
    }
    const std::string value(chars(attribute[3]), static_cast<std::size_t>(attribute[4] - attribute[3]));
    hints.read(loads, base, value, std::strcmp(chars(attribute[0]), "schemaLocation") == 0, fresh, problems);
    if (i >= element.attributeCount - element.defaultedCount) {
      --defaultedCount;
    }
  }
  handledName = element.localName;
  handledNamespace = element.uri;
  for (const std::string& problem : problems) {
    reportHintProblem(problem);
  }
  if (hints.empty()) {
    return false; // no schema to validate against: the element is no validation root
  }
  wrapped = !rootForwarded && hasXsiType(element);
  if (wrapped) {
    fresh.push_back({wrapperNamespace, loads.addGeneratedSchema(base, wrapperSchema)});
  }
  rootForwarded = true;
  const char* hintName = nullptr;
  const std::string hint = hintFor(loads, base, fresh, hintName);
  const xmlChar* const xsiHint[5] = {reinterpret_cast<const xmlChar*>(hintName),
                                     reinterpret_cast<const xmlChar*>("xsi"),
                                     reinterpret_cast<const xmlChar*>(xsiNamespace),
                                     reinterpret_cast<const xmlChar*>(hint.c_str()),
                                     reinterpret_cast<const xmlChar*>(hint.c_str() + hint.size())};
  std::copy(xsiHint, xsiHint + 5, forwarded.begin());
  const std::size_t first = fresh.empty() || wrapped ? 5 : 0;
  element.attributes = forwarded.data() + first;
  element.attributeCount = static_cast<int>((forwarded.size() - first) / 5);
  element.defaultedCount = defaultedCount;
  compiling = fresh.empty() ? std::string() : fresh.front().uri;
  compilationFaults = false;
  internals::readHints(schema.get(), true);
  if (wrapped) {
    // The wrapper takes the hints, and the root follows as its child.
    forward({reinterpret_cast<const xmlChar*>(wrapperName), nullptr, reinterpret_cast<const xmlChar*>(wrapperNamespace),
             0, nullptr, 1, 0, forwarded.data()});
  }
  forward(element);
  internals::readHints(schema.get(), false);
  if (compiled != nullptr && !compiling.empty() && !compilationFaults && !failed) {
    compiled(compiledData, internals::validationSchema(schema.get()), compiling);
  }
  compiling.clear();
  return true;
}

// The value of the one hint that names the schema documents not read yet,
// and its attribute's name: several are composed into one schema (libxml2
// would compile each on its own, blind to the others, and reads only one of
// the two hint attributes of an element).
std::string SchemaPlug::hintFor(EntityLoader::Scope& loads, const std::string& base,
                                const std::vector<SchemaHints::Location>& fresh, const char*& name) {
  name = "schemaLocation";
  if (fresh.size() == 1 && fresh.front().targetNamespace.empty()) {
    name = "noNamespaceSchemaLocation";
    return fresh.front().uri;
  }
  if (fresh.size() == 1) {
    return fresh.front().targetNamespace + " " + fresh.front().uri;
  }
  if (fresh.empty()) {
    return "";
  }
  const std::string composed = compositionNamespace + std::to_string(++compositions);
  return composed + " " + loads.addGeneratedSchema(base, SchemaHints::composition(fresh, composed));
}

std::string SchemaPlug::fail(const xmlError& error) {
  const bool first = !failed;
  failed = true;
  if (!first && patternUndecided) {
    return "";
  }
  // libxml2's regular expressions give up on a long value that needs too
  // much backtracking: the value is not known to fail the pattern.
  patternUndecided = first && error.str1 != nullptr && std::strcmp(error.str1, "xmlSchemaValidateFacets") == 0 &&
                     error.message != nullptr && std::strstr(error.message, "pattern") != nullptr;
  if (patternUndecided) {
    return elementInHand() +
           "[facet 'pattern'] The value is too long for the pattern engine, which cannot tell whether it "
           "matches the pattern.";
  }
  return error.message != nullptr ? error.message : "Internal error of the schema layer";
}

std::string SchemaPlug::elementInHand() const {
  if (handledName == nullptr) {
    return "";
  }
  std::string name = "Element '";
  if (handledNamespace != nullptr) {
    name += "{" + std::string(chars(handledNamespace)) + "}";
  }
  return name + chars(handledName) + "': ";
}

// A broken hint is the document's fault, placed where the parser stands.
void SchemaPlug::reportHintProblem(const std::string& problem) { reportFault(elementInHand() + problem + ".", 0); }

void SchemaPlug::reportFault(const std::string& message, int line) {
  std::string text = message;
  xmlError error{};
  error.domain = XML_FROM_SCHEMASV;
  error.code = XML_SCHEMAV_MISC;
  error.level = XML_ERR_ERROR;
  error.message = text.data();
  const char* file = nullptr;
  unsigned long standing = 0;
  locator(locatorData, &file, &standing);
  error.file = const_cast<char*>(file);
  error.line = line != 0 ? line : static_cast<int>(standing);
  // A line of its own: the column where the parser stands is not its.
  error.int1 = line;
  errors(errorData, &error);
}

void SchemaPlug::endElement(const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                            std::size_t depth) {
  endTextRun();
  handledName = localName;
  handledNamespace = uri;
  internals::settleContent(schema.get(), localName, surelyValid);
  handler->endElementNs(handlerData, localName, prefix, uri);
  ids.ended();
  if (depth == rootDepth) {
    ids.finish();
    if (wrapped && handler != nullptr) {
      handler->endElementNs(handlerData, reinterpret_cast<const xmlChar*>(wrapperName), nullptr,
                            reinterpret_cast<const xmlChar*>(wrapperNamespace));
    }
    stop();
  }
}

// The schema layer adds each piece of an element's text to what it holds by
// measuring that first, so piece by piece a long text costs time quadratic in
// its length. Short runs of text go to it as they come; beyond that, the
// pieces are gathered until they make a quarter of what it already holds.
void SchemaPlug::text(const xmlChar* data, int length) {
  ids.text(data, length);
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
