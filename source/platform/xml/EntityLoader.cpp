#include "platform/xml/EntityLoader.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include "platform/xml/Catalogs.h"
#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/LocalFile.h"
#include "platform/xml/LocalNames.h"
#include "platform/xml/RemoteInput.h"
#include "platform/xml/SelfInclusion.h"
#include "platform/xml/TransferFailure.h"

namespace platform::xml {

namespace {

thread_local EntityLoader::Scope* activeSession = nullptr;

// Refusals are remembered only to keep their echoes out of the report; a
// document that names thousands of missing resources must not make the
// lists grow with it.
constexpr std::size_t maxRememberedRefusals = 64;
constexpr std::size_t maxRefusalNames = 1024;
// libxml2 takes a name with a scheme as it is; this one names no resource.
const char refusalScheme[] = "vexlor-refused:";

xmlExternalEntityLoader previousLoader = nullptr;

char* duplicateForLibxml(const std::string& value) {
  return reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(value.c_str())));
}

// A remote resource may refer to http and https resources only: a document
// from a server must not make its reader open, let alone send on, a local
// file. referrer is empty when libxml2 does not say which remote schema it
// was.
std::string remoteReferenceRefusal(const std::string& displayed, const std::string& referrer) {
  return "failed to load \"" + displayed + "\": " +
         (referrer.empty() ? std::string("a remote schema") : "the remote resource \"" + referrer + "\"") +
         " may not refer to a local file (only to http and https URLs)";
}

xmlParserInputPtr load(const char* url, const char* publicId, xmlParserCtxtPtr context) {
  if (activeSession == nullptr) {
    return previousLoader != nullptr ? previousLoader(url, publicId, context) : nullptr;
  }
  return activeSession->load(url, publicId, context);
}

} // namespace

void EntityLoader::install() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    previousLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(load);
    Catalogs::install();
  });
}

EntityLoader::Scope::Scope(Reporter& reporter, bool externals)
    : reporter(reporter), externals(externals), previous(activeSession) {
  install();
  activeSession = this;
}

EntityLoader::Scope::~Scope() { activeSession = previous; }

bool EntityLoader::Scope::wasRefused(const char* name) const {
  return std::find(refused.begin(), refused.end(), name) != refused.end();
}

// Reports a refused resource at the place that referred to it.
void EntityLoader::Scope::refuse(xmlParserCtxtPtr referrer, const std::string& name,
                                 const std::string& message, bool absent) {
  if (refused.size() < maxRememberedRefusals) {
    refused.push_back(name);
  }
  const bool placed = referrer != nullptr && referrer->input != nullptr && referrer->input->filename != nullptr;
  if (assembling && !placed && unplacedRefusals.size() < maxRememberedRefusals) {
    // A schema document that another schema includes or imports; one that
    // the hints name directly stays a schema that could not be read.
    if (absent && std::find(assemblyRoots.begin(), assemblyRoots.end(), name) == assemblyRoots.end()) {
      internals::markDocumentNotLocated();
    }
    unplacedRefusals.push_back({name, message, absent});
    return;
  }
  ValidationError error = reporter.at(referrer);
  error.message = message;
  reporter.report(std::move(error));
}

bool EntityLoader::Scope::placeRefusal(const char* name, ValidationError position, bool optional) {
  const auto waiting = std::find_if(unplacedRefusals.begin(), unplacedRefusals.end(),
                                    [name](const auto& refusal) { return refusal.name == name; });
  if (waiting == unplacedRefusals.end()) {
    return false;
  }
  position.message = std::move(waiting->message);
  const bool skipped = optional && waiting->absent;
  unplacedRefusals.erase(waiting);
  if (!skipped) {
    reporter.report(std::move(position));
  }
  return true;
}

bool EntityLoader::Scope::isGenerated(const char* name) const {
  return std::any_of(generated.begin(), generated.end(),
                     [name](const auto& document) { return document.first == name; });
}

std::string EntityLoader::Scope::refusalName(const std::string& message) {
  const auto known = refusalByMessage.find(message);
  if (known != refusalByMessage.end()) {
    return known->second;
  }
  if (refusals.size() >= maxRefusalNames) {
    return refusalScheme; // refused all the same, with a message already given
  }
  std::string name = refusalScheme + std::to_string(refusals.size() + 1);
  refusals.emplace(name, message);
  refusalByMessage.emplace(message, name);
  return name;
}

std::string EntityLoader::Scope::resolve(const std::string& base, const std::string& reference) {
  const ResourceName name = resolveReference(base, reference);
  std::string result;
  if (name.isRefused()) {
    result = refusalName("failed to load \"" + name.uri + "\": " + name.problem);
  } else if (name.isLocal() && isRemoteUrl(base)) {
    result = refusalName(remoteReferenceRefusal(reporter.display(name.uri), base));
    originRefused = true;
  } else {
    result = name.uri;
  }
  if (assembling) {
    assemblyRoots.push_back(result);
  }
  return result;
}

std::string EntityLoader::Scope::addGeneratedSchema(const std::string& base, const std::string& text) {
  // Elements that repeat the same hints share one schema, so a document
  // cannot make the load hold a schema per element.
  const std::string document = base.substr(0, base.find('#'));
  for (const auto& [name, existing] : generated) {
    if (existing == text && name.compare(0, name.find('#'), document) == 0) {
      return name;
    }
  }
  std::string name = document + "#schema-hints-" + std::to_string(generated.size() + 1);
  generated.emplace_back(name, text);
  if (assembling) {
    assemblyRoots.push_back(name);
  }
  return name;
}

void EntityLoader::Scope::beginSchemaAssembly(bool hintsAreRemote) {
  assembling = true;
  assemblyRemote = hintsAreRemote;
  assemblyRoots.clear();
  assemblyDocuments.clear();
}

void EntityLoader::Scope::endSchemaAssembly() {
  for (auto& refusal : unplacedRefusals) {
    ValidationError error = reporter.here();
    error.message = std::move(refusal.message);
    reporter.report(std::move(error));
  }
  unplacedRefusals.clear();
  assembling = false;
  assemblyRoots.clear();
  assemblyDocuments.clear();
}

std::size_t EntityLoader::Scope::entitySize(const std::string& uri, std::size_t unknown) const {
  if (const RemoteBodies::Body* body = bodies.find(uri)) {
    return body->bytes.size();
  }
  const ResourceName name = resolveReference("", uri);
  const long long size = name.isLocal() ? localnames::regularFileSize(name.path) : -1;
  return size >= 0 ? static_cast<std::size_t>(size) : unknown;
}

xmlParserInputPtr EntityLoader::Scope::openDocument(const ResourceName& document, xmlParserCtxtPtr parser) {
  const std::string displayed = reporter.display(document.uri);
  if (document.isRefused()) {
    refuse(nullptr, document.uri, "failed to load \"" + displayed + "\": " + document.problem);
    return nullptr;
  }
  return open(document, document.uri, displayed, nullptr, parser, false);
}

// The loader then opens only what the document refers to.
xmlParserInputPtr EntityLoader::Scope::openMemory(const char* data, std::size_t size, const std::string& uri,
                                                  xmlParserCtxtPtr parser) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    reporter.report({uri, 0, 0, "the document is too large to be held in memory"});
    return nullptr;
  }
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateMem(data, static_cast<int>(size), XML_CHAR_ENCODING_NONE);
  if (buffer == nullptr) {
    return nullptr;
  }
  xmlParserInputPtr input = xmlNewIOInputStream(parser, buffer, XML_CHAR_ENCODING_NONE);
  if (input == nullptr) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = duplicateForLibxml(uri);
  return input;
}

xmlParserInputPtr EntityLoader::Scope::load(const char* url, const char* publicId, xmlParserCtxtPtr context) {
  if (!externals) {
    return xmlNewStringInputStream(context, reinterpret_cast<const xmlChar*>(""));
  }
  const std::string target = url != nullptr ? url : "";
  for (const auto& [name, text] : generated) {
    if (name == target) {
      xmlParserInputPtr input =
          xmlNewStringInputStream(context, reinterpret_cast<const xmlChar*>(text.c_str()));
      if (input != nullptr) {
        input->filename = duplicateForLibxml(name);
      }
      if (assembling) {
        assemblyDocuments.push_back(resolveReference("", name));
      }
      return input;
    }
  }
  if (target.compare(0, sizeof refusalScheme - 1, refusalScheme) == 0) {
    const auto known = refusals.find(target);
    if (known != refusals.end()) {
      refuse(context, target, known->second);
    } else if (refused.size() < maxRememberedRefusals) {
      refused.push_back(target);
    }
    return nullptr;
  }
  if (target.empty() && publicId == nullptr) {
    refuse(context, "", "failed to load an external entity: it has no system identifier");
    return nullptr;
  }

  // The resource that refers to target, when libxml2 says; without one,
  // target is a name this loader or libxml2 has resolved already.
  const std::string referrer = internals::innermostInputName(context);
  ResourceName name = target.empty() ? ResourceName{} : resolveReference(referrer, target);
  if (target.empty()) {
    name.problem = "it has no system identifier";
  }
  const std::string displayed = name.isRefused() ? target : reporter.display(name.uri);
  if (name.isLocal() && referredFromRemote(referrer, target)) {
    refuse(context, target, remoteReferenceRefusal(displayed, referrer));
    // libxml2 2.13 and later read on after a refused entity: what the
    // hostile resource declares next (a URL made to carry the file's
    // text) is not fetched either.
    originRefused = true;
    return nullptr;
  }
  if (originRefused && !name.isLocal()) {
    refuse(context, target, "failed to load \"" + displayed + "\": a resource of this document was refused");
    return nullptr;
  }
  xmlParserInputPtr input = open(name, target, displayed, publicId, context, true);
  if (input != nullptr && assembling && referrer.empty()) {
    assemblyDocuments.push_back(name);
    // A schema document, about to be read as a tree.
    SelfInclusion::dropWhenRead(context);
  }
  return input;
}

// Whether target, asked for in a resource whose URI is referrer (empty when
// libxml2 does not say), is asked for by a remote resource. Without a
// referrer only the schema layer asks: for the schemas the hints name,
// checked when the hints were resolved, and for the documents those include
// and import, which come from a remote schema when no local one has been
// read.
bool EntityLoader::Scope::referredFromRemote(const std::string& referrer, const std::string& target) const {
  if (!referrer.empty()) {
    return isRemoteUrl(referrer);
  }
  if (!assembling) {
    return false;
  }
  if (assemblyRemote) {
    return true;
  }
  const bool root = std::find(assemblyRoots.begin(), assemblyRoots.end(), target) != assemblyRoots.end();
  return !root && std::none_of(assemblyDocuments.begin(), assemblyDocuments.end(),
                               [](const ResourceName& read) { return read.isLocal(); });
}

// Opens name, or what the catalogs map it to: a PUBLIC identifier, a remote
// URL and a name this loader does not open are looked up first, a local
// file only when it is missing. systemId is the name as libxml2 asked for it.
xmlParserInputPtr EntityLoader::Scope::open(ResourceName name, const std::string& systemId,
                                            const std::string& displayed, const char* publicId,
                                            xmlParserCtxtPtr context, bool keepRemote) {
  if (publicId != nullptr || !name.isLocal()) {
    const ResourceName mapped = Catalogs::lookup(name.isRefused() ? systemId : name.uri, publicId);
    if (!mapped.uri.empty()) {
      name = mapped;
    }
  }
  if (name.isRemote()) {
    return openRemote(name, context, keepRemote);
  }
  if (name.isRefused()) {
    refuse(context, systemId,
           "failed to load \"" + (displayed.empty() && publicId != nullptr ? publicId : displayed) +
               "\": " + name.problem);
    return nullptr;
  }
  int error = 0;
  // What the document refers to (keepRemote), not the document itself.
  const bool whole = keepRemote && internals::needsWholeEntities();
  xmlParserInputPtr input = openLocal(name, systemId, displayed, context, error, whole);
  if (input != nullptr || error != ENOENT) {
    return input;
  }
  const ResourceName mapped = Catalogs::lookup(name.uri, nullptr);
  if (mapped.isRemote()) {
    return openRemote(mapped, context, keepRemote);
  }
  if (mapped.isLocal() && mapped.path != name.path) {
    input = openLocal(mapped, systemId, reporter.display(mapped.uri), context, error, whole);
    if (input != nullptr || error != ENOENT) {
      return input;
    }
  }
  refuse(context, systemId, "failed to load \"" + displayed + "\": " + std::strerror(ENOENT), true);
  return nullptr;
}

// Opens a local file once and reads it through that descriptor, so what is
// checked is what is read. error receives why it could not be opened;
// every reason but a missing file has been reported.
xmlParserInputPtr EntityLoader::Scope::openLocal(const ResourceName& name, const std::string& systemId,
                                                 const std::string& displayed, xmlParserCtxtPtr context,
                                                 int& error, bool whole) {
  LocalFile file(name.path);
  if (!file.isOpen()) {
    error = file.error();
    if (error != ENOENT) {
      refuse(context, systemId, "failed to load \"" + displayed + "\": " + file.failure());
    }
    return nullptr;
  }
  xmlParserInputBufferPtr buffer = file.intoInputBuffer(whole);
  xmlParserInputPtr input =
      buffer != nullptr ? xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE) : nullptr;
  if (input == nullptr) {
    if (buffer != nullptr) {
      xmlFreeParserInputBuffer(buffer);
    }
    error = EIO;
    refuse(context, systemId, "failed to load \"" + displayed + "\": it could not be read");
    return nullptr;
  }
  input->filename = duplicateForLibxml(name.uri);
  return input;
}

xmlParserInputPtr EntityLoader::Scope::openRemote(const ResourceName& name, xmlParserCtxtPtr context,
                                                  bool keep) {
  if (context == nullptr) {
    refuse(context, name.uri, "failed to load \"" + name.uri + "\": no parser to read it");
    return nullptr;
  }
  openingRemote = context;
  xmlParserInputPtr input = openRemoteInput(context, name.uri, *this, keep ? &bodies : nullptr);
  openingRemote = nullptr;
  return input;
}

void EntityLoader::Scope::transportFailed(const std::string& url, const std::string& reason) {
  if (openingRemote != nullptr) {
    refuse(openingRemote, url, "failed to load \"" + url + "\": " + reason, saysNothingIsThere(reason));
    return;
  }
  // Cut off while being read: libxml2 takes that for the end of the input,
  // so without this report a truncated resource could pass.
  ValidationError error = reporter.here();
  error.message = "failed to read \"" + url + "\": " + reason;
  reporter.report(std::move(error));
}

} // namespace platform::xml
