#include "platform/xml/EntityLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include "platform/xml/ErrorCollector.h"
#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/RemoteInput.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

thread_local EntityLoader::Scope* activeSession = nullptr;
// Catalog lookups in progress on this thread; while there are any, local
// files are opened by catalogFile below.
thread_local int catalogLookups = 0;

// Refusals are remembered only to keep their echoes out of the report; a
// document that names thousands of missing resources must not make the
// lists grow with it.
constexpr std::size_t maxRememberedRefusals = 64;
constexpr std::size_t maxRefusalNames = 1024;
// libxml2 takes a name with a scheme as it is; this one names no resource.
const char refusalScheme[] = "vexlor-refused:";

xmlExternalEntityLoader previousLoader = nullptr;

const char* text(const xmlChar* value) { return reinterpret_cast<const char*>(value); }

char* duplicateForLibxml(const std::string& value) {
  return reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(value.c_str())));
}

// Opens path for reading without blocking, whatever it names. Returns the
// descriptor of a regular file; otherwise -1 with error set to errno, or to
// EISDIR for a directory and ENODEV for a device, FIFO or socket.
int openRegularFile(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? EISDIR : ENODEV;
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string openFailure(int error) {
  switch (error) {
  case EISDIR: return "it is a directory";
  case ENODEV: return "not a regular file (a device, FIFO or socket)";
  default: return std::strerror(error);
  }
}

// Catalog files: libxml2 opens them by name with its default input
// callbacks, which would block on a FIFO. While a lookup runs, local files
// are opened here instead, and one that is not a regular file reads as
// broken, so the catalog is skipped rather than waited for.
struct CatalogFile {
  int fd;
};

int matchCatalogFile(const char* name) {
  if (catalogLookups == 0 || name == nullptr) {
    return 0;
  }
  const std::string scheme = schemeOf(name);
  return scheme.empty() || scheme == "file";
}

void* openCatalogFile(const char* name) {
  std::string path = name;
  if (hasScheme(path)) {
    path = resolveReference("file:///", path).path;
  }
  int error = 0;
  const int fd = openRegularFile(path, error);
  if (fd < 0 && error == ENOENT) {
    return nullptr;
  }
  return new (std::nothrow) CatalogFile{fd};
}

int readCatalogFile(void* context, char* buffer, int length) {
  const int fd = static_cast<CatalogFile*>(context)->fd;
  if (fd < 0) {
    return -1;
  }
  const ssize_t count = ::read(fd, buffer, static_cast<std::size_t>(length));
  return count < 0 ? -1 : static_cast<int>(count);
}

int closeCatalogFile(void* context) {
  auto* file = static_cast<CatalogFile*>(context);
  if (file->fd >= 0) {
    ::close(file->fd);
  }
  delete file;
  return 0;
}

// Marks a catalog lookup for its lifetime.
class CatalogLookup {
public:
  CatalogLookup() { ++catalogLookups; }
  CatalogLookup(const CatalogLookup&) = delete;
  CatalogLookup& operator=(const CatalogLookup&) = delete;
  ~CatalogLookup() { --catalogLookups; }
};

// What the catalogs map the identifiers to, or "". libxml2 gives a name
// relative to the current directory when the catalog was named so.
ResourceName catalogLookup(const std::string& systemId, const char* publicId) {
  const CatalogLookup lookup;
  if (xmlCatalogGetDefaults() == XML_CATA_ALLOW_NONE) {
    return {};
  }
  const xmlChar* system = systemId.empty() ? nullptr : reinterpret_cast<const xmlChar*>(systemId.c_str());
  XmlPtr<xmlChar> resolved(xmlCatalogResolve(reinterpret_cast<const xmlChar*>(publicId), system));
  if (resolved == nullptr && system != nullptr) {
    resolved.reset(xmlCatalogResolveURI(system));
  }
  if (resolved == nullptr) {
    return {};
  }
  return resolveReference(fileUri(EntityLoader::currentDirectory() + "/"), text(resolved.get()));
}

// Gzip and xz files are read through libxml2's decompressing inputs, which
// open by name: the name of the descriptor already checked.
bool isCompressed(int fd) {
  unsigned char head[6] = {};
  const ssize_t count = pread(fd, head, sizeof head, 0);
  const bool gzip = count >= 2 && head[0] == 0x1f && head[1] == 0x8b;
  const bool xz = count == 6 && std::memcmp(head, "\xfd" "7zXZ\0", 6) == 0;
  return gzip || xz;
}

xmlParserInputBufferPtr bufferOver(int fd) {
  if (!isCompressed(fd)) {
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateFd(fd, XML_CHAR_ENCODING_NONE);
    if (buffer == nullptr) {
      ::close(fd);
    }
    return buffer;
  }
  const std::string name = "/proc/self/fd/" + std::to_string(fd);
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateFilename(name.c_str(), XML_CHAR_ENCODING_NONE);
  ::close(fd);
  return buffer;
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

std::string EntityLoader::currentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return "/";
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

void EntityLoader::install() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    previousLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(load);
    xmlRegisterInputCallbacks(matchCatalogFile, openCatalogFile, readCatalogFile, closeCatalogFile);
  });
}

EntityLoader::Scope::Scope(ErrorCollector& errors, bool externals, const Position& position,
                           ResourceDisplay display)
    : errors(errors), externals(externals), position(position), displayName(std::move(display)),
      previous(activeSession) {
  install();
  activeSession = this;
}

EntityLoader::Scope::~Scope() { activeSession = previous; }

bool EntityLoader::Scope::readingCatalog() const { return catalogLookups > 0; }

void EntityLoader::Scope::report(ValidationError error) {
  error.location = displayName(error.location);
  errors.add(std::move(error));
}

bool EntityLoader::Scope::wasRefused(const char* name) const {
  return std::find(refused.begin(), refused.end(), name) != refused.end();
}

// Reports a refused resource at the place that referred to it.
void EntityLoader::Scope::refuse(xmlParserCtxtPtr referrer, const std::string& name,
                                 const std::string& message) {
  ValidationError error;
  if (referrer != nullptr && referrer->input != nullptr && referrer->input->filename != nullptr) {
    error.location = referrer->input->filename;
    error.line = referrer->input->line;
    error.column = referrer->input->col;
  } else {
    error = position.here();
  }
  error.message = message;
  if (refused.size() < maxRememberedRefusals) {
    refused.push_back(name);
  }
  report(std::move(error));
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
    result = refusalName(remoteReferenceRefusal(displayName(name.uri), base));
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
  assembling = false;
  assemblyRoots.clear();
  assemblyDocuments.clear();
}

std::size_t EntityLoader::Scope::entitySize(const std::string& uri, std::size_t unknown) const {
  if (const RemoteBodies::Body* body = bodies.find(uri)) {
    return body->bytes.size();
  }
  const ResourceName name = resolveReference("", uri);
  struct stat status {};
  if (name.isLocal() && stat(name.path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
    return static_cast<std::size_t>(status.st_size);
  }
  return unknown;
}

xmlParserInputPtr EntityLoader::Scope::openDocument(const ResourceName& document, xmlParserCtxtPtr parser) {
  const std::string displayed = displayName(document.uri);
  if (document.isRefused()) {
    refuse(nullptr, document.uri, "failed to load \"" + displayed + "\": " + document.problem);
    return nullptr;
  }
  return open(document, document.uri, displayed, nullptr, parser, false);
}

// The name that target (as libxml2 asks for it) stands for. referrer
// receives the URI of the resource that refers to it, when known; without
// one, target is a name this loader or libxml2 has resolved already.
ResourceName EntityLoader::Scope::nameOf(const std::string& target, xmlParserCtxtPtr context,
                                         std::string& referrer) {
  referrer = internals::innermostInputName(context);
  if (!referrer.empty()) {
    return resolveReference(referrer, target);
  }
  return resolveReference("", target);
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

  std::string referrer;
  ResourceName name = target.empty() ? ResourceName{} : nameOf(target, context, referrer);
  if (target.empty()) {
    name.problem = "it has no system identifier";
  }
  const std::string displayed = name.isRefused() ? target : displayName(name.uri);
  if (name.isLocal() && referredFromRemote(referrer, target)) {
    refuse(context, target, remoteReferenceRefusal(displayed, referrer));
    return nullptr;
  }
  xmlParserInputPtr input = open(name, target, displayed, publicId, context, true);
  if (input != nullptr && assembling && referrer.empty()) {
    assemblyDocuments.push_back(name);
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
    const ResourceName mapped = catalogLookup(name.isRefused() ? systemId : name.uri, publicId);
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
  xmlParserInputPtr input = openLocal(name, systemId, displayed, context, error);
  if (input != nullptr || error != ENOENT) {
    return input;
  }
  const ResourceName mapped = catalogLookup(name.uri, nullptr);
  if (mapped.isRemote()) {
    return openRemote(mapped, context, keepRemote);
  }
  if (mapped.isLocal() && mapped.path != name.path) {
    input = openLocal(mapped, systemId, displayName(mapped.uri), context, error);
    if (input != nullptr || error != ENOENT) {
      return input;
    }
  }
  refuse(context, systemId, "failed to load \"" + displayed + "\": " + openFailure(ENOENT));
  return nullptr;
}

// Opens a local file once and reads it through that descriptor, so what is
// checked is what is read. error receives why it could not be opened;
// every reason but a missing file has been reported.
xmlParserInputPtr EntityLoader::Scope::openLocal(const ResourceName& name, const std::string& systemId,
                                                 const std::string& displayed, xmlParserCtxtPtr context,
                                                 int& error) {
  const int fd = openRegularFile(name.path, error);
  if (fd < 0) {
    if (error != ENOENT) {
      refuse(context, systemId, "failed to load \"" + displayed + "\": " + openFailure(error));
    }
    return nullptr;
  }
  xmlParserInputBufferPtr buffer = bufferOver(fd);
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
    refuse(openingRemote, url, "failed to load \"" + url + "\": " + reason);
    return;
  }
  // Cut off while being read: libxml2 takes that for the end of the input,
  // so without this report a truncated resource could pass.
  ValidationError error = position.here();
  error.message = "failed to read \"" + url + "\": " + reason;
  report(std::move(error));
}

} // namespace platform::xml
