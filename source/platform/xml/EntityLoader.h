// How documents, DTDs, entities and schemas are named and opened.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/xml/RemoteInput.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/ValidationError.h"

struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

/// The one external entity loader of the process. Every resource that a
/// load opens goes through it, named by ResourceName's rules:
/// - a local file is opened once, without blocking, and read only when that
///   descriptor is a regular file (a directory, a device or a FIFO is
///   refused); "-" is a file name like any other;
/// - PUBLIC identifiers, remote URLs and missing local files are looked up
///   in the XML catalogs first; a catalog that cannot be read is skipped;
/// - http: and https: go through our own transport, each body fetched once
///   per load (within RemoteBodies' budget);
/// - a resource that came over the network may refer only to http and
///   https resources: a reference from it to a local file is refused;
/// - any other scheme, and file: URLs of other hosts, are refused.
/// Refusals are reported through the reporter of the load in progress, at
/// the place that referred to the resource.
class EntityLoader {
public:
  EntityLoader() = delete;

  /// Makes this loader libxml2's; idempotent and thread-safe.
  static void install();

  /// The reporter of the load in progress: where it stands, and where its
  /// problems go.
  class Reporter {
  public:
    /// Where the parser stands now.
    virtual ValidationError here() const = 0;
    /// Where referrer (the parser that asked for a resource) stands; here()
    /// when it has no position (a schema document about to be read).
    virtual ValidationError at(const _xmlParserCtxt* referrer) const = 0;
    /// Adds error; its location is a resource's URI (or libxml2's name).
    virtual void report(ValidationError error) = 0;
    /// What a report calls the resource of this name.
    virtual std::string display(const std::string& name) const = 0;

  protected:
    ~Reporter() = default;
  };

  /// Marks a load in progress on this thread for the lifetime of the scope.
  /// It also receives the failures of the remote resources the load opens.
  class Scope final : public TransportErrorSink {
  public:
    /// externals false: only the document itself may be opened; every
    /// external subset, entity and schema reads as empty. Refusals and
    /// transport failures go to reporter.
    Scope(Reporter& reporter, bool externals);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

    /// Opens the document of the load as an input of parser; null once the
    /// reason has been reported.
    _xmlParserInput* openDocument(const ResourceName& document, _xmlParserCtxt* parser);
    /// Opens the size bytes at data as the document of the load, named uri,
    /// as an input of parser; null when it cannot (a document too large for
    /// libxml2 to hold is reported).
    _xmlParserInput* openMemory(const char* data, std::size_t size, const std::string& uri,
                                _xmlParserCtxt* parser);

    /// The name under which libxml2 is to open reference, made in the
    /// resource whose URI is base: the absolute URI it resolves to, or a name
    /// that this scope refuses, with the reason, when it is opened (a name
    /// that cannot be resolved, or a local file referred to from a remote
    /// resource).
    std::string resolve(const std::string& base, const std::string& reference);

    /// Makes text readable, for this load only, under the returned name: a
    /// fragment of base, so relative references in text resolve against base.
    std::string addGeneratedSchema(const std::string& base, const std::string& text);

    /// Brackets the schema layer's reading of the schemas that the hints of
    /// one element name: libxml2 opens the documents those schemas include
    /// and import without saying which schema refers to them.
    void beginSchemaAssembly(bool hintsAreRemote);
    void endSchemaAssembly();

    /// Reports at position the refusal of the schema document that libxml2
    /// calls name, if one waits for the place that names it (libxml2 opens
    /// schema documents without saying which document refers to them, and
    /// names the include, import or hint in an error of its own); whether
    /// one did. Those still waiting when the assembly ends are reported
    /// where the parser stands. optional: the place is an xs:import, whose
    /// location XSD 1.0 takes for a hint; a document that is not there
    /// (refuse's absent) is then skipped without a report, as libxml2 skips
    /// it, and any other refusal is reported all the same.
    bool placeRefusal(const char* name, ValidationError position, bool optional);
    /// Whether name is a document made by this load (addGeneratedSchema).
    bool isGenerated(const char* name) const;

    /// What an external entity named uri holds, when known without reading
    /// it; otherwise unknown.
    std::size_t entitySize(const std::string& uri, std::size_t unknown) const;

    /// Whether a resource has been refused; whether name (as libxml2 asked
    /// for it) was.
    bool refusedAny() const { return !refused.empty(); }
    bool wasRefused(const char* name) const;

    void transportFailed(const std::string& url, const std::string& reason) override;

    /// libxml2's external entity loader, for this load.
    _xmlParserInput* load(const char* url, const char* publicId, _xmlParserCtxt* context);

  private:
    _xmlParserInput* open(ResourceName name, const std::string& systemId, const std::string& displayed,
                          const char* publicId, _xmlParserCtxt* context, bool keepRemote);
    /// whole: hand the file's bytes over at once (LocalFile::intoInputBuffer).
    _xmlParserInput* openLocal(const ResourceName& name, const std::string& systemId,
                               const std::string& displayed, _xmlParserCtxt* context, int& error, bool whole);
    bool referredFromRemote(const std::string& referrer, const std::string& target) const;
    _xmlParserInput* openRemote(const ResourceName& name, _xmlParserCtxt* context, bool keep);
    /// absent: name points at nothing (no such file, no such host, HTTP 404);
    /// otherwise it was refused or could not be read.
    void refuse(_xmlParserCtxt* referrer, const std::string& name, const std::string& message,
                bool absent = false);
    std::string refusalName(const std::string& message);

    Reporter& reporter;
    bool externals;
    /// The parser that asked for the remote resource being opened, if any.
    _xmlParserCtxt* openingRemote = nullptr;
    /// The resources refused so far, as libxml2 named them.
    std::vector<std::string> refused;
    /// Documents made by the load itself, by name.
    std::vector<std::pair<std::string, std::string>> generated;
    /// Names handed to libxml2 that stand for a refusal, and its message.
    std::map<std::string, std::string> refusals;
    std::map<std::string, std::string> refusalByMessage;
    RemoteBodies bodies;
    // A remote resource referred to a local file: nothing more is fetched.
    bool originRefused = false;

    /// The schema assembly in progress: whether the hints are in a remote
    /// resource, the schemas they name, and the schema documents read so far.
    bool assembling = false;
    bool assemblyRemote = false;
    std::vector<std::string> assemblyRoots;
    std::vector<ResourceName> assemblyDocuments;
    /// Refusals of schema documents waiting for the place that names them.
    struct UnplacedRefusal {
      std::string name; // as libxml2 asked for it
      std::string message;
      bool absent;
    };
    std::vector<UnplacedRefusal> unplacedRefusals;

    Scope* previous;
  };
};

} // namespace platform::xml
