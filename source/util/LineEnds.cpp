#include "util/LineEnds.h"

namespace util {

const std::string CR = "\r";
const std::string LF = "\n";
const std::string CRLF = "\r\n";
const std::string CRLFCRLF = "\r\n\r\n";

} // namespace util
