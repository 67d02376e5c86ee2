#include "platform/com/ScopedBstr.h"

#include <utility>

#include "platform/com/Bstr.h"

namespace platform::com {

ScopedBstr::ScopedBstr(BSTR owned) : string(owned) {}

ScopedBstr::~ScopedBstr() { SysFreeString(string); }

BSTR* ScopedBstr::address() {
  SysFreeString(std::exchange(string, nullptr));
  return &string;
}

BSTR ScopedBstr::detach() { return std::exchange(string, nullptr); }

} // namespace platform::com
