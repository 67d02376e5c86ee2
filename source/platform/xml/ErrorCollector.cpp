#include "platform/xml/ErrorCollector.h"

#include <utility>

namespace platform::xml {

ErrorCollector::ErrorCollector(std::size_t limit) : limit(limit) {}

void ErrorCollector::add(ValidationError error) {
  if (total > 0 && error.line == last.line && error.column == last.column &&
      error.message == last.message && error.location == last.location) {
    return;
  }
  ++total;
  last = error;
  if (errors.size() < limit) {
    errors.push_back(std::move(error));
  }
}

} // namespace platform::xml
