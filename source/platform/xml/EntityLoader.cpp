#include "platform/xml/EntityLoader.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include <sys/stat.h>

#include <libxml/catalog.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/uri.h>

#include "platform/xml/ErrorCollector.h"
#include "platform/xml/RemoteInput.h"
#include "platform/xml/XmlPtr.h"

namespace platform::xml {

namespace {

thread_local EntityLoader::Scope* activeSession = nullptr;

// Refusals are remembered only to keep their echoes out of the report; a
// document that names thousands of missing resources must not make the
// list grow with it.
constexpr std::size_t maxRememberedRefusals = 64;

xmlExternalEntityLoader previousLoader = nullptr;

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// Reports a refused resource at the place that referred to it, or at the
// resource itself when nothing referred to it (the document).
void reportRefusal(xmlParserCtxtPtr referrer, const std::string& url, const std::string& why) {
  if (activeSession == nullptr) {
    return;
  }
  ValidationError error;
  if (referrer != nullptr && referrer->input != nullptr && referrer->input->filename != nullptr) {
    error.location = referrer->input->filename;
    error.line = referrer->input->line;
    error.column = referrer->input->col;
  } else if (!activeSession->openingDocument) {
    error = activeSession->position.here();
  } else {
    error.location = url;
  }
  error.message = why;
  if (activeSession->refused.size() < maxRememberedRefusals) {
    activeSession->refused.push_back(url);
  }
  activeSession->errors.add(std::move(error));
}

// The scheme of url in lower case, or "" for a plain path.
std::string schemeOf(const std::string& url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string::npos || colon < 2) {
    return ""; // no scheme, or a one-letter "scheme" that is no URL scheme at all
  }
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) {
      return "";
    }
  }
  return lowerCase(url.substr(0, colon));
}

// The local path that a file: URL or plain path names.
std::string localPath(const std::string& url, const std::string& scheme) {
  if (scheme.empty()) {
    return url;
  }
  XmlPtr<xmlURI> uri(xmlParseURI(url.c_str()));
  if (uri == nullptr || uri->path == nullptr) {
    return url.substr(5);
  }
  return uri->path;
}

xmlChar* catalogLookup(const char* url, const char* publicId) {
  if (xmlCatalogGetDefaults() == XML_CATA_ALLOW_NONE) {
    return nullptr;
  }
  xmlChar* resolved = xmlCatalogResolve(reinterpret_cast<const xmlChar*>(publicId),
                                        reinterpret_cast<const xmlChar*>(url));
  if (resolved == nullptr && url != nullptr) {
    resolved = xmlCatalogResolveURI(reinterpret_cast<const xmlChar*>(url));
  }
  return resolved;
}

xmlParserInputPtr openLocal(const std::string& url, const std::string& path, xmlParserCtxtPtr context) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    const int error = errno;
    reportRefusal(context, url, "failed to load \"" + url + "\": " + std::strerror(error));
    return nullptr;
  }
  if (S_ISDIR(status.st_mode)) {
    reportRefusal(context, url, "failed to load \"" + url + "\": it is a directory");
    return nullptr;
  }
  if (!S_ISREG(status.st_mode)) {
    reportRefusal(context, url,
                  "failed to load \"" + url + "\": not a regular file (a device, FIFO or socket)");
    return nullptr;
  }
  return xmlNewInputFromFile(context, path.c_str());
}

xmlParserInputPtr openRemote(const std::string& url, xmlParserCtxtPtr context) {
  if (context == nullptr) {
    reportRefusal(context, url, "failed to load \"" + url + "\": no parser to read it");
    return nullptr;
  }
  activeSession->openingRemote = context;
  xmlParserInputPtr input = openRemoteInput(context, url, *activeSession);
  activeSession->openingRemote = nullptr;
  return input;
}

xmlParserInputPtr load(const char* url, const char* publicId, xmlParserCtxtPtr context) {
  EntityLoader::Scope* session = activeSession;
  if (session == nullptr) {
    return previousLoader != nullptr ? previousLoader(url, publicId, context) : nullptr;
  }
  session->openingDocument = !session->documentOpened;
  session->documentOpened = true;
  if (!session->openingDocument && !session->externals) {
    return xmlNewStringInputStream(context, reinterpret_cast<const xmlChar*>(""));
  }

  std::string target = url != nullptr ? url : "";
  for (const auto& [name, text] : session->generated) {
    if (name == target) {
      xmlParserInputPtr input =
          xmlNewStringInputStream(context, reinterpret_cast<const xmlChar*>(text.c_str()));
      if (input != nullptr) {
        input->filename = reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(name.c_str())));
      }
      return input;
    }
  }
  std::string scheme = schemeOf(target);
  const bool local = scheme.empty() || scheme == "file";

  struct stat status {};
  const bool existsLocally = local && !target.empty() &&
                             stat(localPath(target, scheme).c_str(), &status) == 0;
  if (!existsLocally && (publicId != nullptr || !target.empty())) {
    XmlPtr<xmlChar> resolved(catalogLookup(url, publicId));
    if (resolved != nullptr) {
      target = reinterpret_cast<const char*>(resolved.get());
      scheme = schemeOf(target);
    }
  }

  if (target.empty()) {
    reportRefusal(context, "", "failed to load an external entity: it has no system identifier");
    return nullptr;
  }
  if (scheme == "http" || scheme == "https") {
    return openRemote(target, context);
  }
  if (!scheme.empty() && scheme != "file") {
    reportRefusal(context, target,
                  "failed to load \"" + target + "\": the URL scheme '" + scheme +
                      "' is not supported (only file, http and https are)");
    return nullptr;
  }
  return openLocal(target, localPath(target, scheme), context);
}

} // namespace

void EntityLoader::install() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    previousLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(load);
  });
}

EntityLoader::Scope::Scope(ErrorCollector& errors, bool externals, const Position& position)
    : errors(errors), externals(externals), position(position), previous(activeSession) {
  install();
  activeSession = this;
}

EntityLoader::Scope::~Scope() { activeSession = previous; }

std::string EntityLoader::Scope::addGeneratedSchema(const std::string& base, const std::string& text) {
  // Elements that repeat the same hints share one schema, so a document
  // cannot make the load hold a schema per element.
  for (const auto& [name, existing] : generated) {
    if (existing == text && name.compare(0, name.find('#'), base.substr(0, base.find('#'))) == 0) {
      return name;
    }
  }
  std::string name = base.substr(0, base.find('#')) + "#schema-hints-" + std::to_string(generated.size() + 1);
  generated.emplace_back(name, text);
  return name;
}

void EntityLoader::Scope::transportFailed(const std::string& url, const std::string& reason) {
  if (openingRemote != nullptr) {
    reportRefusal(openingRemote, url, "failed to load \"" + url + "\": " + reason);
    return;
  }
  // Cut off while being read: libxml2 takes that for the end of the input,
  // so without this report a truncated resource could pass.
  ValidationError error = position.here();
  error.message = "failed to read \"" + url + "\": " + reason;
  errors.add(std::move(error));
}

} // namespace platform::xml
