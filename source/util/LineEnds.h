// The line-end texts.
#pragma once

#include <string>

namespace util {

extern const std::string CR;       // "\r"
extern const std::string LF;       // "\n"
extern const std::string CRLF;     // "\r\n"
extern const std::string CRLFCRLF; // "\r\n\r\n"

} // namespace util
