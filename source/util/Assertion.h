// Run-time checks of the library's own invariants, and their report.
#pragma once

#include <ctime>
#include <string>

namespace util {

/// The contact named in a report when no handler is installed.
inline constexpr const char* defaultAssertionContact = "the Vexlor maintainers";

/// Receives assertion reports instead of standard output and assertion.txt
/// while an AssertionHandlerInstaller keeps it installed.
class AssertionHandler {
public:
  virtual ~AssertionHandler();

  /// Takes one complete report: nine lines, each ending in "\n".
  virtual void handleReport(const std::string& report) = 0;

  /// The contact text that the report asks its reader to write to.
  virtual std::string contactAddress() = 0;
};

/// Makes a handler the current one for the installer's lifetime. Installers
/// do not stack: the constructor replaces whatever handler was current, and
/// the destructor leaves no handler current, even if another installer still
/// exists. The installer never owns or deletes the handler.
class AssertionHandlerInstaller {
public:
  explicit AssertionHandlerInstaller(AssertionHandler* handler);
  AssertionHandlerInstaller(const AssertionHandlerInstaller&) = delete;
  AssertionHandlerInstaller& operator=(const AssertionHandlerInstaller&) = delete;
  virtual ~AssertionHandlerInstaller();
};

/// Composes the report of one failed check and delivers it: to the current
/// handler if there is one; otherwise to standard output, then appended to
/// assertion.txt in the current directory (text mode; skipped silently when
/// the file cannot be opened). Returns normally: a failed check is never
/// fatal. Exceptions of the handler or of allocation pass through.
void assertionFailed(const char* expression, const char* file, unsigned int line);

/// The report's time stamp for a broken-down time: "Www Mmm DD hh:mm:ss YYYY"
/// in English, 24 characters, the day of the month with a leading zero.
std::string assertionTimeStamp(const std::tm& time);

} // namespace util

/// Checks condition, evaluated once; when it is false, reports it with its
/// source text, file and line, and carries on with the next statement either
/// way.
#define ASSERTION(condition)                                                                       \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      ::util::assertionFailed(#condition, __FILE__, __LINE__);                                     \
    }                                                                                              \
  } while (false)
