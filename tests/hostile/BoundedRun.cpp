#include "hostile/BoundedRun.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hostile {

namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

// Resident memory of a running process, from /proc; 0 once it is gone.
long residentKilobytes(pid_t pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  long pages = 0;
  long resident = 0;
  if (!(statm >> pages >> resident)) {
    return 0;
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

void closeQuietly(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

} // namespace

std::string Outcome::summary() const {
  std::ostringstream text;
  text << "exit " << exitCode;
  if (signal != 0) {
    text << ", signal " << signal;
  }
  if (killedAtTimeLimit) {
    text << ", killed at the time limit";
  }
  if (killedAtMemoryLimit) {
    text << ", killed at the memory limit";
  }
  text << ", " << wallTime.count() << " ms, peak " << peakKilobytes << " KB";
  return text.str();
}

BoundedRun::BoundedRun(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, const Limits& limits)
    : limits(limits) {
  int output[2];
  int error[2];
  if (::pipe2(output, O_CLOEXEC) != 0) {
    throw systemError("pipe2");
  }
  if (::pipe2(error, O_CLOEXEC) != 0) {
    ::close(output[0]);
    ::close(output[1]);
    throw systemError("pipe2");
  }
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) {
    argv.push_back(text.data());
  }
  argv.push_back(nullptr);

  // The child's ru_maxrss counts its forked copy of this process until the
  // exec: give the heap's free memory back first, so that copy stays small.
  ::malloc_trim(0);
  started = std::chrono::steady_clock::now();
  child = ::fork();
  if (child < 0) {
    throw systemError("fork");
  }
  if (child == 0) {
    // Only async-signal-safe calls from here to exec.
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0 || ::dup2(input, STDIN_FILENO) < 0 || ::dup2(output[1], STDOUT_FILENO) < 0 ||
        ::dup2(error[1], STDERR_FILENO) < 0 ||
        (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0)) {
      ::_exit(126);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(output[1]);
  ::close(error[1]);
  outputPipe = output[0];
  errorPipe = error[0];
}

BoundedRun::~BoundedRun() {
  if (child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  closeQuietly(outputPipe);
  closeQuietly(errorPipe);
}

Outcome BoundedRun::finish() {
  Outcome outcome;
  const auto deadline = started + limits.wallTime;
  bool killed = false;
  auto killFor = [&](bool& reason) {
    if (!killed) {
      reason = true;
      killed = true;
      ::kill(child, SIGKILL);
      ::kill(child, SIGCONT); // a stopped child dies only once it runs
    }
  };

  // Both pipes reach their end when the child dies, killed or not.
  while (outputPipe >= 0 || errorPipe >= 0) {
    pollfd watched[2] = {{outputPipe, POLLIN, 0}, {errorPipe, POLLIN, 0}};
    const int ready = ::poll(watched, 2, 20);
    if (ready < 0 && errno != EINTR) {
      throw systemError("poll");
    }
    std::string* sinks[2] = {&outcome.standardOutput, &outcome.standardError};
    int* pipes[2] = {&outputPipe, &errorPipe};
    for (int i = 0; ready > 0 && i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) {
        continue;
      }
      char buffer[65536];
      const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        closeQuietly(*pipes[i]);
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      killFor(outcome.killedAtTimeLimit);
    } else if (residentKilobytes(child) > 2 * limits.peakKilobytes) {
      killFor(outcome.killedAtMemoryLimit);
    }
  }

  int status = 0;
  rusage usage{};
  while (true) {
    const pid_t reaped = ::wait4(child, &status, WNOHANG, &usage);
    if (reaped == child) {
      break;
    }
    if (reaped < 0 && errno != EINTR) {
      throw systemError("wait4");
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      killFor(outcome.killedAtTimeLimit);
    }
    ::usleep(5000);
  }
  outcome.wallTime = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  child = -1;
  outcome.peakKilobytes = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    outcome.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

} // namespace hostile
