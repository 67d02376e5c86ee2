// Runs a program as a child under a wall-time and a peak-memory bound, for
// tests that feed hostile input to the built binary.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hostile {

/// What a run may take. The child is killed (SIGKILL) once it has run for
/// wallTime, or once its resident memory exceeds twice peakKilobytes, so a
/// runaway child cannot take the machine down; whether the bounds held is
/// for the test to check on the Outcome.
struct Limits {
  std::chrono::milliseconds wallTime;
  long peakKilobytes;
};

/// How a run ended.
struct Outcome {
  std::string standardOutput;
  std::string standardError;
  /// The exit status (0-255), or -1 when a signal ended the child.
  int exitCode = -1;
  /// The signal that ended the child, 0 when it exited.
  int signal = 0;
  bool killedAtTimeLimit = false;
  bool killedAtMemoryLimit = false;
  std::chrono::milliseconds wallTime{0};
  /// Peak resident set size of the child (wait4's ru_maxrss). It includes
  /// the child's copy of the test process between fork and exec, a few MB.
  long peakKilobytes = 0;

  /// One line for test failure messages: exit, signal, time and memory.
  std::string summary() const;
};

/// One child process: started by the constructor (standard input from
/// /dev/null, standard output and error captured), ended by finish(). While
/// it runs, the test may act on it through pid() (stop it, change its files).
class BoundedRun {
public:
  /// Throws std::runtime_error when the program cannot be started.
  BoundedRun(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& workingDirectory, const Limits& limits);
  BoundedRun(const BoundedRun&) = delete;
  BoundedRun& operator=(const BoundedRun&) = delete;
  /// Kills and reaps a child that finish() was not called for.
  ~BoundedRun();

  pid_t pid() const { return child; }

  /// Collects the output until the child ends or a limit is hit, then reaps
  /// it. Call once.
  Outcome finish();

private:
  Limits limits;
  pid_t child = -1;
  int outputPipe = -1;
  int errorPipe = -1;
  std::chrono::steady_clock::time_point started;
};

} // namespace hostile
