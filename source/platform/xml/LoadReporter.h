// Where the problems of one load are placed, and which are the document's.
#pragma once

#include <string>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/ValidationError.h"

struct _xmlError;
struct _xmlParserCtxt;

namespace platform::xml {

class ErrorCollector;

/// The one reporter of a load: it turns where the parser stands (the
/// context whose callback runs, or the document's parser) into
/// LOCATION:LINE:COLUMN, places libxml2's errors, drops those that are no
/// problem of the document (warnings, echoes of a refusal the loader has
/// reported, problems of a catalog being read), and hands every problem to
/// the load's loader, which names its location as reports do. The loader's
/// refusals and transport failures are placed through here() as well.
class LoadReporter final : public EntityLoader::Position {
public:
  explicit LoadReporter(ErrorCollector& errors) : errors(errors) {}

  /// The load's parser, loader and document URI, while the load runs.
  void attach(_xmlParserCtxt* parser, EntityLoader::Scope* loads, std::string documentUri);
  void detach();

  /// Makes context the one whose callback runs, for the lifetime of the
  /// object: libxml2 frees the contexts of entity content without notice,
  /// so none may stay current after its callback.
  class Running {
  public:
    Running(LoadReporter& reporter, void* context);
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    ~Running() { reporter.current = previous; }

  private:
    LoadReporter& reporter;
    _xmlParserCtxt* previous;
  };

  /// Where the parser stands: the entity it reads, line and column.
  ValidationError here() const override;
  /// The URI of the entity the parser reads: the base of its references.
  const char* currentBase() const;
  /// here() with message.
  void reportHere(std::string message);
  /// Adds error, its location named as reports name it.
  void report(ValidationError error);

  /// Whether libxml2's error is no problem of the document.
  bool ignores(const _xmlError& error) const;
  /// Adds libxml2's error, placed and with its message on one line.
  void add(const _xmlError& error);

  /// The schema layer's locator: the entity and line where the parser stands.
  static int locate(void* reporter, const char** file, unsigned long* line);

private:
  ValidationError place(const _xmlError& error) const;
  std::string message(const _xmlError& error) const;

  ErrorCollector& errors;
  _xmlParserCtxt* parser = nullptr;
  EntityLoader::Scope* loads = nullptr;
  std::string documentUri;
  _xmlParserCtxt* current = nullptr;
};

} // namespace platform::xml
