// What the name of a document, DTD, entity or schema denotes.
#pragma once

#include <cstddef>
#include <string>

namespace platform::xml {

/// One resource, named: a local file or an http(s) URL, or a name that is
/// refused. Every name a load turns into something to open goes through
/// nameArgument or resolveReference, so they all follow one set of rules:
/// - references are URI references (RFC 3986), resolved against the URI of
///   the resource that holds them, never against the current directory;
/// - characters that URIs do not allow (space, controls, non-ASCII bytes,
///   '"', '<', '>', '\', '^', '`', '{', '|', '}', and a '%' that starts no
///   escape) are %-escaped first, as XML 1.0 asks of system identifiers;
/// - a file: reference from a file: base may omit the authority and be
///   relative ("file:my%20file.dtd"), as in RFC 3986's non-strict mode;
/// - %HH escapes are decoded when the name is a local file; a fragment never
///   takes part in what is opened.
/// Nothing here touches the file system.
struct ResourceName {
  enum class Kind { local, remote, refused };

  Kind kind = Kind::refused;
  /// Absolute URI: "file://" and the absolute path (in the slash form of
  /// LocalNames.h) with every byte but
  /// letters, digits, "-._~" and '/' %-escaped, or the http(s) URL (scheme in
  /// lower case, no fragment). The base of the references inside the
  /// resource. For a refused name, the reference as it resolved (or as
  /// written when it did not).
  std::string uri;
  /// local: the file to open, exactly (no escape is read in it), as this
  /// system names it.
  std::string path;
  /// refused: why, a phrase that follows "failed to load \"NAME\": ".
  std::string problem;
  /// nameArgument only: the argument was a relative path.
  bool relativePath = false;

  bool isLocal() const { return kind == Kind::local; }
  bool isRemote() const { return kind == Kind::remote; }
  bool isRefused() const { return kind == Kind::refused; }
};

/// Names the document given on the command line. An existing local file is
/// a path, whatever characters it holds; otherwise "http://", "https://" and
/// "file:" (any letter case) start URLs, "scheme://" starts a URL that is
/// refused, and anything else is a path.
/// A relative path is taken relative to currentDirectory (slash form, no
/// trailing '/') for the URI, while path is what the system opens for the
/// argument (on POSIX the argument as given).
ResourceName nameArgument(const std::string& argument, const std::string& currentDirectory,
                          bool existsLocally);

/// Resolves reference, as written in a document (a system literal, a schema
/// location, a redirect target), against base, an absolute URI as made by
/// this unit. A file: name whose host is neither empty nor "localhost", a
/// scheme other than file, http and https, and an escaped NUL are refused.
ResourceName resolveReference(const std::string& base, const std::string& reference);

/// The file: URI of an absolute path.
std::string fileUri(const std::string& absolutePath);

/// The URI scheme that reference, as written, starts with, in lower case;
/// "" when it has none (and so depends on its base).
std::string schemeOf(const std::string& reference);

/// Whether reference has a scheme of its own.
bool hasScheme(const std::string& reference);

/// Whether url starts with "http://" or "https://" (scheme in any letter case).
bool isRemoteUrl(const std::string& url);

/// How reports call resources: the document as the user named it; other
/// local files by their plain path, relative to the current directory when
/// the user named the document by a relative path and the file lies no
/// further up than the document, absolute otherwise; remote resources by
/// their URL.
class ResourceDisplay {
public:
  ResourceDisplay() = default;
  /// document: the document's name; argument: what the user called it;
  /// currentDirectory: absolute, or empty to show local paths absolute.
  ResourceDisplay(const ResourceName& document, std::string argument, std::string currentDirectory);

  /// What a report calls the resource whose URI (or libxml2's name for it)
  /// is name. Names that are no URI of this unit are returned unchanged.
  std::string operator()(const std::string& name) const;

private:
  std::string documentUri;
  std::string argument;
  std::string currentDirectory;
  std::size_t maxLevelsUp = 0;
};

} // namespace platform::xml
