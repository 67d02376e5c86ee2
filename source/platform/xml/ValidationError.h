// One problem found while loading a document.
#pragma once

#include <string>

namespace platform::xml {

/// Where and what: location is the path or URL of the entity in which the
/// problem was found; line and column are 1-based, 0 when unknown.
struct ValidationError {
  std::string location;
  int line = 0;
  int column = 0;
  std::string message;

  /// "LOCATION:LINE:COLUMN: MESSAGE"
  std::string toString() const;
};

} // namespace platform::xml
