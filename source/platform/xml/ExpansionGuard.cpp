#include "platform/xml/ExpansionGuard.h"

#include <cstdint>

namespace platform::xml {

bool ExpansionGuard::charge(std::size_t bytes, std::size_t documentRead) {
  if (exceeded) {
    return false;
  }
  expanded = bytes > SIZE_MAX - expanded ? SIZE_MAX : expanded + bytes;
  exceeded = expanded > allowance && expanded / factor > documentRead;
  return !exceeded;
}

std::string ExpansionGuard::refusalMessage() {
  return "Excessive entity expansion: the entity references stand for more than " +
         std::to_string(allowance >> 20) + " MB of text and more than " + std::to_string(factor) +
         " times the document read so far";
}

} // namespace platform::xml
