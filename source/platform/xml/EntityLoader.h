// How documents, DTDs, entities and schemas are opened.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/xml/RemoteInput.h"
#include "platform/xml/ValidationError.h"

struct _xmlParserCtxt;

namespace platform::xml {

class ErrorCollector;

/// The one external entity loader of the process. Every resource that a
/// load opens, the document itself included, goes through it:
/// - local paths and file: URLs name regular files only (a directory, a
///   device or a FIFO is refused: reading one could block or never end);
/// - PUBLIC identifiers and missing local files are looked up in the system
///   XML catalog;
/// - http: and https: go through our own transport;
/// - any other scheme is refused.
/// Refusals are reported to the collector of the load in progress.
class EntityLoader {
public:
  EntityLoader() = delete;

  /// Makes this loader libxml2's; idempotent and thread-safe.
  static void install();

  /// Where the load in progress stands: the place to report a refused
  /// resource at when the parser that asked for it has no position (a
  /// schema document about to be read).
  class Position {
  public:
    virtual ValidationError here() const = 0;

  protected:
    ~Position() = default;
  };

  /// Marks a load in progress on this thread for the lifetime of the scope.
  /// It also receives the failures of the remote resources the load opens.
  class Scope final : public TransportErrorSink {
  public:
    /// externals false: only the document itself may be opened; every
    /// external subset, entity and schema reads as empty.
    Scope(ErrorCollector& errors, bool externals, const Position& position);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

    void transportFailed(const std::string& url, const std::string& reason) override;

    /// Makes text readable, for this load only, under the returned name: a
    /// fragment of base, so relative references in text resolve against base.
    std::string addGeneratedSchema(const std::string& base, const std::string& text);

    ErrorCollector& errors;
    bool externals;
    const Position& position;
    bool documentOpened = false;
    bool openingDocument = false;
    /// The parser that asked for the remote resource being opened, if any.
    _xmlParserCtxt* openingRemote = nullptr;
    /// The resources refused so far, as they were named.
    std::vector<std::string> refused;
    /// Documents made by the load itself, by name.
    std::vector<std::pair<std::string, std::string>> generated;

  private:
    Scope* previous;
  };
};

} // namespace platform::xml
