#include "util/Helpers.h"

#include <cstdio>

#include "util/Assertion.h"

namespace util {

std::string toString(int value) { return toString(value, "%d"); }

std::string toString(int value, const char* format) {
  ASSERTION(format);
  if (format == nullptr) {
    return std::string();
  }
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

} // namespace util
