#include "platform/xml/ValidationError.h"

namespace platform::xml {

std::string ValidationError::toString() const {
  return location + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

} // namespace platform::xml
