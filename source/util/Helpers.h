// Number-to-text helpers.
#pragma once

#include <string>

namespace util {

/// value in signed decimal, as "%d" prints it.
std::string toString(int value);

/// value formatted by printf under format, whose output must fit 99
/// characters. A null format is reported as a failed check and gives "".
std::string toString(int value, const char* format);

} // namespace util
