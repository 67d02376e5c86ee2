#include "util/StringHelperException.h"

namespace util {

StringHelperException::StringHelperException(const std::string& text) : text(text) {}

StringHelperException::~StringHelperException() = default;

const std::string& StringHelperException::message() const { return text; }

} // namespace util
