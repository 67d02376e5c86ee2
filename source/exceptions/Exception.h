// The root of every exception the program raises.
#pragma once

#include <ostream>
#include <string>

namespace exceptions {

/// Abstract root of the program's exception family. It holds nothing and
/// promises one thing: a message text, fixed when the exception is made.
/// The family is deliberately unrelated to std::exception, so a handler for
/// one never catches the other.
class Exception {
public:
  Exception() = default;
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  virtual ~Exception();

  /// The complete message text; valid as long as the exception lives.
  virtual const std::string& message() const = 0;
};

/// Writes exactly message() with the string inserter: the stream's width and
/// fill apply as for any std::string, and nothing is added before or after.
std::ostream& operator<<(std::ostream& out, const Exception& exception);

} // namespace exceptions
