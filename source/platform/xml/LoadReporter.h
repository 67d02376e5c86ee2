// Where the problems of one load are placed, and which are the document's.
#pragma once

#include <string>

#include "platform/xml/EntityLoader.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/ValidationError.h"

struct _xmlError;
struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

class ErrorCollector;

/// The one reporter of a load: the one place that turns where a parser
/// stands (the context whose callback runs, the document's parser, or the
/// parser that referred to a resource) into LOCATION:LINE:COLUMN, with
/// LOCATION named as reports name resources (ResourceDisplay). It places
/// libxml2's errors and drops those that are no problem of the document
/// (warnings, echoes of a refusal the loader has reported, problems of a
/// catalog being read); the loader reports its refusals and transport
/// failures through it.
class LoadReporter final : public EntityLoader::Reporter {
public:
  explicit LoadReporter(ErrorCollector& errors) : errors(errors) {}

  /// How the load names its resources, for the rest of the load.
  void nameResourcesAs(ResourceDisplay display, std::string documentUri);
  /// The load's parser and loader, while the load runs.
  void attach(_xmlParserCtxt* parser, EntityLoader::Scope* loads);
  void detach();

  /// Makes context the one whose callback runs, for the lifetime of the
  /// object: libxml2 frees the contexts of entity content without notice,
  /// so none may stay current after its callback.
  class Running {
  public:
    Running(LoadReporter& reporter, void* context)
        : reporter(reporter), previous(reporter.current) {
      reporter.current = static_cast<_xmlParserCtxt*>(context);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    ~Running() { reporter.current = previous; }

  private:
    LoadReporter& reporter;
    _xmlParserCtxt* previous;
  };

  /// Where the parser stands: the entity it reads, line and column.
  ValidationError here() const override;
  ValidationError at(const _xmlParserCtxt* referrer) const override;
  std::string display(const std::string& name) const override { return displayName(name); }
  /// The URI of the entity the parser reads: the base of its references.
  const char* currentBase() const;
  /// here() with message.
  void reportHere(std::string message);
  /// Adds error, its location named as reports name it.
  void report(ValidationError error) override;

  /// Reports the loader's refusal of a schema document that libxml2's
  /// error echoes, where the error places it (the include or import that
  /// names the document; a hint or a composition of hints stands where the
  /// parser stands); whether it did, or took the echo for an import of a
  /// document that is not there, which it skips without a report.
  bool placesRefusal(const _xmlError& error);
  /// Whether libxml2's error is no problem of the document.
  bool ignores(const _xmlError& error) const;
  /// Adds libxml2's error, placed and with its message on one line.
  void add(const _xmlError& error);

  /// The schema layer's locator: the entity and line where the parser stands.
  static int locate(void* reporter, const char** file, unsigned long* line);

private:
  /// The input here() reads a position from: the innermost named one of
  /// the parser at work, else of the document's parser; null when none has
  /// a name.
  const _xmlParserInput* standingInput() const;
  ValidationError place(const _xmlError& error) const;
  std::string message(const _xmlError& error) const;

  ErrorCollector& errors;
  ResourceDisplay displayName;
  _xmlParserCtxt* parser = nullptr;
  EntityLoader::Scope* loads = nullptr;
  std::string documentUri;
  _xmlParserCtxt* current = nullptr;
};

} // namespace platform::xml
