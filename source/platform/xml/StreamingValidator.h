// One streaming pass that checks and validates a document.
#pragma once

#include <cstddef>
#include <string>

namespace platform::xml {

class ErrorCollector;

struct LoadOptions {
  /// Validate against the document's DTD and its xsi schema hints.
  bool validate = true;
  /// Load the external subset, external entities and hinted schemas.
  bool resolveExternals = true;
};

/// Reads a document once, start to end, without keeping a tree: memory
/// grows with nesting depth and the number of IDs, never with the size.
/// Checks well-formedness and namespace well-formedness and, as the options
/// ask, validity against the DTD and against the XML Schemas that the
/// document's own xsi:schemaLocation / xsi:noNamespaceSchemaLocation
/// attributes name, wherever they stand (relative locations are taken
/// relative to the entity that holds them). Every problem goes to the
/// collector, in document order; libxml2 itself prints nothing.
/// Nesting deeper than 256 elements and runaway entity expansion are errors.
class StreamingValidator {
public:
  explicit StreamingValidator(LoadOptions options);

  /// Loads location (a path, a file: URL, or an http(s) URL). The document
  /// is well-formed and valid exactly when nothing was added to errors.
  void run(const std::string& location, ErrorCollector& errors) const;

  /// As run, over the size bytes at data, a whole document held in memory;
  /// name stands for its location in reports and is the base of its
  /// relative references.
  void runMemory(const char* data, std::size_t size, const std::string& name,
                 ErrorCollector& errors) const;

private:
  LoadOptions options;
};

} // namespace platform::xml
