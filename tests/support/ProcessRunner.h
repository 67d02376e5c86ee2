// Runs a program to completion and captures what it wrote, for tests that
// check a built binary from the outside.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

/// What a finished program left behind.
struct ProcessResult {
  std::string standardOutput;
  std::string standardError;
  /// The exit status (0-255) when the program exited; 128 + the signal
  /// number when a signal ended it.
  int exitCode = -1;
  /// True when the program outlived its time limit and was killed.
  bool timedOut = false;
};

/// How to start the program; the defaults inherit the caller's working
/// directory and environment.
struct ProcessOptions {
  /// Directory the program starts in; empty keeps the caller's.
  std::string workingDirectory;
  /// Variables set (or replaced) in the inherited environment.
  std::vector<std::pair<std::string, std::string>> environment;
  /// Standard error is a pseudo-terminal (raw: bytes pass unchanged)
  /// instead of a pipe; what the program writes there is still collected.
  bool standardErrorTerminal = false;
  /// The program is killed (SIGKILL, TerminateProcess) once this has passed.
  std::chrono::milliseconds timeLimit{std::chrono::seconds(60)};
};

/// Starts programs directly (no shell), with standard input from the null
/// device, and collects standard output and standard error separately. On
/// Windows lines that end in CR LF are read as ending in LF, the exit code
/// is its low byte (-1 is 255), and standard error cannot be a terminal.
class ProcessRunner {
public:
  /// Runs program (a path, or a name looked up in PATH) with arguments and
  /// waits for it to end. Throws std::runtime_error when it cannot be
  /// started or waited for.
  static ProcessResult run(const std::string& program,
                           const std::vector<std::string>& arguments,
                           const ProcessOptions& options = {});
};

} // namespace testsupport
