#include "platform/xml/Catalogs.h"

#include <cerrno>
#include <new>

#include <unistd.h>

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/LocalFile.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

// Catalog lookups in progress on this thread.
thread_local int lookups = 0;

// An open catalog file, or -1 for one that reads as broken.
struct CatalogFile {
  int fd;
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
  LocalFile file(path);
  if (!file.isOpen() && file.error() == ENOENT) {
    return nullptr;
  }
  return new (std::nothrow) CatalogFile{file.release()};
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
  return resolveReference(fileUri(EntityLoader::currentDirectory() + "/"),
                          reinterpret_cast<const char*>(resolved.get()));
}

} // namespace platform::xml
