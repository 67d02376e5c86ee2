#include "platform/xml/LoadReporter.h"

#include "platform/xml/LibxmlInternals.h"

#include <cstring>
#include <utility>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "platform/xml/Catalogs.h"
#include "platform/xml/ErrorCollector.h"

namespace platform::xml {

void LoadReporter::nameResourcesAs(ResourceDisplay display, std::string uri) {
  displayName = std::move(display);
  documentUri = std::move(uri);
}

void LoadReporter::attach(xmlParserCtxtPtr loadParser, EntityLoader::Scope* loader) {
  parser = loadParser;
  loads = loader;
}

void LoadReporter::detach() {
  parser = nullptr;
  loads = nullptr;
  current = nullptr;
}

const char* LoadReporter::currentBase() const {
  if (current != nullptr && current->input != nullptr && current->input->filename != nullptr) {
    return current->input->filename;
  }
  if (parser != nullptr && parser->input != nullptr && parser->input->filename != nullptr) {
    return parser->input->filename;
  }
  return documentUri.c_str();
}

namespace {

// Where ctxt stands in the innermost entity that has a name: inside the
// text of an internal entity, where that entity was referred to.
bool standsAt(const xmlParserCtxt* ctxt, ValidationError& position) {
  const xmlParserInput* input = internals::innermostNamedInput(ctxt);
  if (input == nullptr) {
    return false;
  }
  position.location = input->filename;
  position.line = input->line;
  position.column = input->col;
  return true;
}

} // namespace

// Inside the text of an internal entity, where the entity was referred to:
// libxml2 2.13 and later read that text as an unnamed input of the same
// parser, earlier series with a parser of its own.
const xmlParserInput* LoadReporter::standingInput() const {
  const xmlParserInput* input = internals::innermostNamedInput(current);
  return input != nullptr ? input : internals::innermostNamedInput(parser);
}

ValidationError LoadReporter::here() const {
  ValidationError position;
  const xmlParserInput* input = standingInput();
  if (input == nullptr) {
    position.location = currentBase();
    return position;
  }
  position.location = input->filename;
  position.line = input->line;
  position.column = input->col;
  return position;
}

ValidationError LoadReporter::at(const xmlParserCtxt* referrer) const {
  ValidationError position;
  return standsAt(referrer, position) ? position : here();
}

void LoadReporter::reportHere(std::string text) {
  ValidationError error = here();
  error.message = std::move(text);
  report(std::move(error));
}

void LoadReporter::report(ValidationError error) {
  error.location = displayName(error.location);
  // libxml2 counts lines and columns in int: past 2^31 they wrap.
  error.line = error.line < 0 ? 0 : error.line;
  error.column = error.column < 0 ? 0 : error.column;
  errors.add(std::move(error));
}

// As here(): inside the text of an internal entity, where the entity was
// referred to (the line of that text is no line of the file).
int LoadReporter::locate(void* data, const char** file, unsigned long* line) {
  const LoadReporter& reporter = *static_cast<const LoadReporter*>(data);
  if (const xmlParserInput* input = reporter.standingInput()) {
    *file = input->filename;
    *line = static_cast<unsigned long>(input->line);
    return 0;
  }
  const xmlParserCtxt* ctxt = reporter.current != nullptr ? reporter.current : reporter.parser;
  *file = reporter.currentBase();
  *line = ctxt != nullptr && ctxt->input != nullptr ? static_cast<unsigned long>(ctxt->input->line) : 0;
  return 0;
}

bool LoadReporter::placesRefusal(const xmlError& error) {
  if (loads == nullptr || error.str1 == nullptr || !loads->refusedAny() ||
      (error.domain != XML_FROM_SCHEMASP && error.domain != XML_FROM_SCHEMASV)) {
    return false;
  }
  const bool inSchema = error.file != nullptr && !loads->isGenerated(error.file);
  // libxml2 skips an xs:import of a schema document it cannot read, with a
  // warning: XSD 1.0 takes the import's location for a hint. One that names
  // no document is skipped here too; the imports the load makes of what the
  // hints name (a generated document) are no hints, and stay errors.
  const bool optional = inSchema && error.code == XML_SCHEMAP_WARN_UNLOCATED_SCHEMA;
  return loads->placeRefusal(error.str1, inSchema ? place(error) : here(), optional);
}

bool LoadReporter::ignores(const xmlError& error) const {
  if (Catalogs::reading()) {
    return true; // a catalog that cannot be read is skipped; the lookup goes on without it
  }
  if (error.level == XML_ERR_WARNING) {
    // A resource that could not be loaded is a failure, even where libxml2
    // only warns (a hinted schema, an entity outside validation).
    const bool unloadable = error.domain == XML_FROM_IO ||
                            (error.domain == XML_FROM_SCHEMASP && error.code == XML_SCHEMAP_FAILED_LOAD);
    if (!unloadable) {
      return true;
    }
  }
  if (error.level == XML_ERR_NONE) {
    return true;
  }
  if (error.domain == XML_FROM_PARSER && error.code == XML_ERR_INVALID_URI) {
    // A system literal with a space or a non-ASCII letter names a file all
    // the same: the loader escapes those characters, as XML 1.0 asks.
    return true;
  }
  const bool refusedAny = loads != nullptr && loads->refusedAny();
  if (error.domain == XML_FROM_SCHEMASP && refusedAny && error.str1 != nullptr &&
      loads->wasRefused(error.str1)) {
    return true; // the schema layer's echo of a refusal, reported with its reason
  }
  if (error.domain == XML_FROM_PARSER && error.code == XML_ERR_INTERNAL_ERROR && refusedAny &&
      error.str1 != nullptr && std::strcmp(error.str1, "xmlLoadEntityContent input error") == 0) {
    return true; // the parser's echo of an entity the loader refused
  }
  if (error.code == XML_DTD_NO_DTD) {
    // The DTD that could not be loaded has been reported already; without a
    // DOCTYPE there is no DTD to check (DTD validation is asked for on every
    // load).
    return refusedAny || parser == nullptr || parser->myDoc == nullptr ||
           (parser->myDoc->intSubset == nullptr && parser->myDoc->extSubset == nullptr);
  }
  return false;
}

ValidationError LoadReporter::place(const xmlError& error) const {
  ValidationError problem;
  // An error raised inside the text of an internal entity has no location
  // of its own: it is placed where the entity was referred to.
  if (error.file != nullptr) {
    problem.location = error.file;
    problem.line = error.line;
    problem.column = error.int2;
  } else if (!standsAt(parser, problem)) {
    problem.location = currentBase();
    problem.line = error.line;
    problem.column = error.int2;
  }
  if (error.domain == XML_FROM_VALID && error.code == XML_DTD_UNKNOWN_ID && error.node == nullptr &&
      error.int1 > 0) {
    problem.line = error.int1; // the line of the reference, not the end of the document
    problem.column = 0;
  }
  // A fault of the schema layer has the parser's column, unless it names a
  // line of its own (int1: a reference that named no ID, told at the end).
  if (error.domain == XML_FROM_SCHEMASV && problem.column == 0 && error.int1 == 0) {
    const ValidationError standing = here();
    if (standing.location == problem.location && standing.line == problem.line) {
      problem.column = standing.column;
    }
  }
  return problem;
}

// libxml2's message on one line, the documents it quotes by the URIs the
// loader gave them shown as a reader knows them.
std::string LoadReporter::message(const xmlError& error) const {
  if (error.code == XML_DTD_NO_DTD) {
    // libxml2's "no DTD found" for a DOCTYPE that declares nothing: what is
    // wrong is that the element is not declared.
    const xmlNode* node = static_cast<const xmlNode*>(error.node);
    const xmlChar* name = node != nullptr && node->type == XML_ELEMENT_NODE ? node->name
                          : parser != nullptr && parser->myDoc != nullptr && parser->myDoc->intSubset != nullptr
                              ? parser->myDoc->intSubset->name
                              : nullptr;
    if (name != nullptr) {
      return std::string("No declaration for element ") + reinterpret_cast<const char*>(name) +
             " (the DOCTYPE declares no elements)";
    }
  }
  std::string text = error.message != nullptr ? error.message : "unknown error";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  for (std::size_t start = text.find("'file://"); start != std::string::npos;
       start = text.find("'file://", start + 1)) {
    const std::size_t end = text.find('\'', start + 1);
    if (end == std::string::npos) {
      break;
    }
    text.replace(start + 1, end - start - 1, displayName(text.substr(start + 1, end - start - 1)));
  }
  return text;
}

void LoadReporter::add(const xmlError& error) {
  ValidationError problem = place(error);
  problem.message = message(error);
  report(std::move(problem));
}

} // namespace platform::xml
