#include "platform/xml/Catalogs.h"

#include <cerrno>
#include <memory>
#include <new>

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/LocalFile.h"
#include "platform/xml/LocalNames.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

// Catalog lookups in progress on this thread.
thread_local int lookups = 0;

// An open catalog file; one that could not be opened reads as broken.
struct CatalogFile {
  std::unique_ptr<LocalFile> file;
};

int matchCatalogFile(const char* name) {
  if (lookups == 0 || name == nullptr) {
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
  std::unique_ptr<LocalFile> file(new (std::nothrow) LocalFile(path));
  if (file == nullptr || (!file->isOpen() && file->error() == ENOENT)) {
    return nullptr;
  }
  return new (std::nothrow) CatalogFile{std::move(file)};
}

int readCatalogFile(void* context, char* buffer, int length) {
  return static_cast<CatalogFile*>(context)->file->read(buffer, length);
}

int closeCatalogFile(void* context) {
  delete static_cast<CatalogFile*>(context);
  return 0;
}

// Marks a catalog lookup for its lifetime.
class Lookup {
public:
  Lookup() { ++lookups; }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;
  ~Lookup() { --lookups; }
};

} // namespace

void Catalogs::install() {
  xmlRegisterInputCallbacks(matchCatalogFile, openCatalogFile, readCatalogFile, closeCatalogFile);
}

bool Catalogs::reading() { return lookups > 0; }

ResourceName Catalogs::lookup(const std::string& systemId, const char* publicId) {
  const Lookup lookup;
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
  return resolveReference(fileUri(localnames::currentDirectory() + "/"),
                          reinterpret_cast<const char*>(resolved.get()));
}

} // namespace platform::xml
