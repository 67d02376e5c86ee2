#include "exceptions/Exception.h"

namespace exceptions {

Exception::~Exception() = default;

std::ostream& operator<<(std::ostream& out, const Exception& exception) {
  return out << exception.message();
}

} // namespace exceptions
