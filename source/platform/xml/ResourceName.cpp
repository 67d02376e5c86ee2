#include "platform/xml/ResourceName.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/xml/LocalNames.h"

namespace platform::xml {

namespace {

const char hexDigits[] = "0123456789ABCDEF";

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hexValue(char c) { return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  return text.size() >= length && lowerCase(text.substr(0, length)) == prefix;
}

void appendEscaped(std::string& out, unsigned char byte) {
  out.push_back('%');
  out.push_back(hexDigits[byte >> 4]);
  out.push_back(hexDigits[byte & 15]);
}

// Escapes what a URI may not hold; escapes already present stay as they are.
std::string escapeReference(const std::string& reference) {
  std::string out;
  out.reserve(reference.size());
  for (std::size_t i = 0; i < reference.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(reference[i]);
    const bool startsEscape =
        byte == '%' && i + 2 < reference.size() && isHex(reference[i + 1]) && isHex(reference[i + 2]);
    if (byte <= 0x20 || byte >= 0x7f || std::strchr("\"<>\\^`{|}", byte) != nullptr ||
        (byte == '%' && !startsEscape)) {
      appendEscaped(out, byte);
    } else {
      out.push_back(static_cast<char>(byte));
    }
  }
  return out;
}

// Decodes %HH escapes; false when one stands for a NUL byte.
bool decode(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
      const char byte = static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      if (byte == '\0') {
        return false;
      }
      out.push_back(byte);
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return true;
}

// The five components of a URI reference (RFC 3986, appendix B).
struct Parts {
  bool hasScheme = false;
  std::string scheme;
  bool hasAuthority = false;
  std::string authority;
  std::string path;
  bool hasQuery = false;
  std::string query;
};

std::size_t schemeLength(const std::string& reference) {
  if (reference.empty() || !isAlpha(reference[0])) {
    return 0;
  }
  for (std::size_t i = 1; i < reference.size(); ++i) {
    const char c = reference[i];
    if (c == ':') {
      return i;
    }
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') {
      return 0;
    }
  }
  return 0;
}

Parts split(const std::string& reference) {
  Parts parts;
  std::string rest = reference.substr(0, reference.find('#'));
  if (const std::size_t length = schemeLength(rest); length > 0) {
    parts.hasScheme = true;
    parts.scheme = lowerCase(rest.substr(0, length));
    rest.erase(0, length + 1);
  }
  if (rest.compare(0, 2, "//") == 0) {
    const std::size_t end = rest.find_first_of("/?", 2);
    parts.hasAuthority = true;
    parts.authority = rest.substr(2, end == std::string::npos ? std::string::npos : end - 2);
    rest.erase(0, end == std::string::npos ? rest.size() : end);
  }
  const std::size_t question = rest.find('?');
  if (question != std::string::npos) {
    parts.hasQuery = true;
    parts.query = rest.substr(question + 1);
    rest.erase(question);
  }
  parts.path = rest;
  return parts;
}

// RFC 3986, 5.2.4.
std::string removeDotSegments(const std::string& path) {
  std::vector<std::string> segments;
  const bool absolute = !path.empty() && path[0] == '/';
  std::size_t position = absolute ? 1 : 0;
  bool endsInDirectory = false;
  while (position <= path.size()) {
    std::size_t end = path.find('/', position);
    if (end == std::string::npos) {
      end = path.size();
    }
    const std::string segment = path.substr(position, end - position);
    const bool last = end == path.size();
    if (segment == ".") {
      endsInDirectory = last;
    } else if (segment == "..") {
      if (!segments.empty()) {
        segments.pop_back();
      }
      endsInDirectory = last;
    } else {
      segments.push_back(segment);
      endsInDirectory = false;
    }
    position = end + 1;
  }
  std::string out = absolute ? "/" : "";
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) {
      out.push_back('/');
    }
    out += segments[i];
  }
  if (endsInDirectory && !segments.empty()) {
    out.push_back('/');
  }
  return out;
}

// RFC 3986, 5.2.3.
std::string merge(const Parts& base, const std::string& path) {
  if (base.hasAuthority && base.path.empty()) {
    return "/" + path;
  }
  const std::size_t slash = base.path.rfind('/');
  return slash == std::string::npos ? path : base.path.substr(0, slash + 1) + path;
}

// RFC 3986, 5.2.2, with the scheme of a reference dropped when it is the
// base's (the non-strict parser: "file:name" is relative to a file: base).
Parts resolveParts(const Parts& base, Parts reference) {
  if (reference.hasScheme && base.hasScheme && reference.scheme == base.scheme &&
      !reference.hasAuthority && (reference.path.empty() || reference.path[0] != '/')) {
    reference.hasScheme = false;
  }
  Parts target;
  if (reference.hasScheme) {
    target = reference;
    target.path = removeDotSegments(reference.path);
    return target;
  }
  target.hasScheme = base.hasScheme;
  target.scheme = base.scheme;
  if (reference.hasAuthority) {
    target.hasAuthority = true;
    target.authority = reference.authority;
    target.path = removeDotSegments(reference.path);
    target.hasQuery = reference.hasQuery;
    target.query = reference.query;
    return target;
  }
  target.hasAuthority = base.hasAuthority;
  target.authority = base.authority;
  if (reference.path.empty()) {
    target.path = base.path;
    target.hasQuery = reference.hasQuery || base.hasQuery;
    target.query = reference.hasQuery ? reference.query : base.query;
    return target;
  }
  target.path = removeDotSegments(reference.path[0] == '/' ? reference.path : merge(base, reference.path));
  target.hasQuery = reference.hasQuery;
  target.query = reference.query;
  return target;
}

ResourceName refused(std::string uri, std::string problem) {
  ResourceName name;
  name.uri = std::move(uri);
  name.problem = std::move(problem);
  return name;
}

std::string compose(const Parts& parts) {
  std::string uri;
  if (parts.hasScheme) {
    uri = parts.scheme + ":";
  }
  if (parts.hasAuthority) {
    uri += "//" + parts.authority;
  }
  uri += parts.path;
  if (parts.hasQuery) {
    uri += "?" + parts.query;
  }
  return uri;
}

ResourceName classify(const Parts& target) {
  const std::string uri = compose(target);
  if (!target.hasScheme) {
    return refused(uri, "it is a relative reference with nothing to resolve it against");
  }
  if (target.scheme == "http" || target.scheme == "https") {
    if (!target.hasAuthority || target.authority.empty()) {
      return refused(uri, "the URL names no host");
    }
    ResourceName name;
    name.kind = ResourceName::Kind::remote;
    Parts normal = target;
    if (normal.path.empty()) {
      normal.path = "/";
    }
    name.uri = compose(normal);
    return name;
  }
  if (target.scheme != "file") {
    return refused(uri, "the URL scheme '" + target.scheme +
                            "' is not supported (only file, http and https are)");
  }
  const bool hasHost =
      target.hasAuthority && !target.authority.empty() && lowerCase(target.authority) != "localhost";
  if (hasHost && !localnames::hostsAreShares) {
    return refused(uri, "it names a file on another host (\"" + target.authority +
                            "\"); only local files are read");
  }
  if (target.path.empty() || target.path[0] != '/') {
    return refused(uri, "a file: URL must name an absolute path");
  }
  std::string path;
  if (!decode(target.path, path)) {
    return refused(uri, "its name holds an escaped NUL byte (%00)");
  }
  ResourceName name;
  name.kind = ResourceName::Kind::local;
  // A host names a file share where the system opens shares as files.
  const std::string slash = (hasHost ? "//" + target.authority : "") + removeDotSegments(path);
  name.path = localnames::native(slash);
  name.uri = fileUri(slash);
  return name;
}

// The path that leads from directory to path: "../" for each directory
// segment the path does not share, then the rest of the path.
std::string relativeTo(const std::string& directory, const std::string& path) {
  if (directory == path) {
    return ".";
  }
  std::vector<std::string> from;
  std::vector<std::string> to;
  for (auto [text, segments] : {std::pair{&directory, &from}, std::pair{&path, &to}}) {
    std::size_t position = 1;
    while (position <= text->size()) {
      std::size_t end = text->find('/', position);
      if (end == std::string::npos) {
        end = text->size();
      }
      if (end > position) {
        segments->push_back(text->substr(position, end - position));
      }
      position = end + 1;
    }
  }
  std::size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) {
    ++common;
  }
  std::string relative;
  for (std::size_t i = common; i < from.size(); ++i) {
    relative += "../";
  }
  for (std::size_t i = common; i < to.size(); ++i) {
    relative += to[i];
    if (i + 1 < to.size()) {
      relative.push_back('/');
    }
  }
  return relative;
}

// The slash form of the path of a local file's URI, as made by this unit.
std::string slashPath(const std::string& uri) {
  const Parts parts = split(uri);
  std::string path;
  decode(parts.path, path);
  return (parts.hasAuthority && !parts.authority.empty() ? "//" + parts.authority : "") + path;
}

} // namespace

// Escaped as libxml2 writes the URIs it builds (every series): a drive's
// colon ("/C:/") and the marks and sub-delimiters it leaves in a path stay as
// they are. A schema document is known again by its URI, so the names this
// layer gives and those libxml2 derives from them must agree letter for
// letter, or a document that includes its includer is read twice.
std::string fileUri(const std::string& absolutePath) {
  // A share's path ("//server/share/f.xml") starts with its host.
  std::string uri = absolutePath.compare(0, 2, "//") == 0 ? "file:" : "file://";
  const bool drive = absolutePath.size() >= 3 && absolutePath[0] == '/' && isAlpha(absolutePath[1]) &&
                     absolutePath[2] == ':';
  for (std::size_t i = 0; i < absolutePath.size(); ++i) {
    const char c = absolutePath[i];
    if (isAlpha(c) || isDigit(c) || (c != '\0' && std::strchr("-_.!~*'()/;@&=+$,", c) != nullptr) ||
        (drive && i == 2)) {
      uri.push_back(c);
    } else {
      appendEscaped(uri, static_cast<unsigned char>(c));
    }
  }
  return uri;
}

std::string schemeOf(const std::string& reference) {
  return lowerCase(reference.substr(0, schemeLength(reference)));
}

bool hasScheme(const std::string& reference) { return schemeLength(reference) > 0; }

bool isRemoteUrl(const std::string& url) {
  const std::string scheme = schemeOf(url);
  return (scheme == "http" || scheme == "https") && url.compare(scheme.size() + 1, 2, "//") == 0;
}

ResourceName resolveReference(const std::string& base, const std::string& reference) {
  const Parts target = resolveParts(split(base), split(escapeReference(reference)));
  return classify(target);
}

ResourceName nameArgument(const std::string& argument, const std::string& currentDirectory,
                          bool existsLocally) {
  const std::string directory = currentDirectory == "/" ? "/" : currentDirectory + "/";
  if (!existsLocally) {
    if (startsWithIgnoringCase(argument, "http://") || startsWithIgnoringCase(argument, "https://")) {
      return resolveReference("", localnames::utf8Argument(argument));
    }
    if (startsWithIgnoringCase(argument, "file:")) {
      return resolveReference(fileUri(directory), localnames::utf8Argument(argument));
    }
    const std::size_t length = schemeLength(argument);
    if (length > 0 && argument.compare(length + 1, 2, "//") == 0) {
      return resolveReference("", argument); // another scheme, refused with its name
    }
  }
  std::string slash = localnames::absolute(argument, currentDirectory);
  // A share's host ("//server/share", "//./pipe" for devices) is no segment.
  const std::size_t host = localnames::hostsAreShares && slash.compare(0, 2, "//") == 0
                               ? std::min(slash.find('/', 2), slash.size())
                               : 0;
  slash = slash.substr(0, host) + removeDotSegments(slash.substr(host));
  ResourceName name;
  name.kind = ResourceName::Kind::local;
  name.path = localnames::openName(argument, slash);
  name.uri = fileUri(slash);
  name.relativePath = localnames::isRelative(argument);
  return name;
}

std::size_t levelsUp(const std::string& relativePath) {
  std::size_t levels = 0;
  while (relativePath.compare(3 * levels, 3, "../") == 0) {
    ++levels;
  }
  return levels;
}

ResourceDisplay::ResourceDisplay(const ResourceName& document, std::string argument,
                                 std::string currentDirectory)
    : documentUri(document.uri), argument(std::move(argument)),
      currentDirectory(std::move(currentDirectory)) {
  if (!this->currentDirectory.empty()) {
    const std::string documentPath = slashPath(documentUri);
    maxLevelsUp = levelsUp(relativeTo(this->currentDirectory, documentPath));
  }
}

std::string ResourceDisplay::operator()(const std::string& name) const {
  if (name == documentUri) {
    return argument;
  }
  if (!startsWithIgnoringCase(name, "file:")) {
    return name;
  }
  const ResourceName local = resolveReference("file:///", name);
  if (!local.isLocal()) {
    return name;
  }
  if (currentDirectory.empty()) {
    return local.path;
  }
  const std::string relative = relativeTo(currentDirectory, slashPath(local.uri));
  return levelsUp(relative) <= maxLevelsUp ? localnames::displayed(relative) : local.path;
}

} // namespace platform::xml
