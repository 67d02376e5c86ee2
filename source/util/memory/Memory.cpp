#include "util/memory/Memory.h"

#include <cstring>

#include "util/Assertion.h"

namespace util {

char* duplicate(const char* src, std::size_t size) {
  ASSERTION(src);
  ASSERTION(size > 0);
  char* dup = new char[size];
  ASSERTION(dup);
  if (src == nullptr) {
    std::memset(dup, 0, size);
    return dup;
  }
  std::memcpy(dup, src, size);
  return dup;
}

} // namespace util
