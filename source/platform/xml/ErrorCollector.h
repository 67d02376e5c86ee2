// Gathers the problems of one load, in the order they are found.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/xml/ValidationError.h"

namespace platform::xml {

/// Keeps the first `limit` problems and counts all of them, so a document
/// with millions of faults costs no more memory than one with fifty.
/// A problem identical to the one just before it (same place, same text)
/// is counted once: some faults are raised twice by the validation layers.
class ErrorCollector {
public:
  static constexpr std::size_t defaultLimit = 50;

  explicit ErrorCollector(std::size_t limit = defaultLimit);

  void add(ValidationError error);

  const std::vector<ValidationError>& kept() const { return errors; }
  std::size_t count() const { return total; }
  bool empty() const { return total == 0; }

private:
  std::size_t limit;
  std::size_t total = 0;
  std::vector<ValidationError> errors;
  ValidationError last;
};

} // namespace platform::xml
