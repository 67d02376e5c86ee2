#include "support/ProcessRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

std::runtime_error systemError(const std::string& what, int errorNumber) {
  return std::runtime_error(what + ": " + std::strerror(errorNumber));
}

/// A file descriptor closed when its owner goes.
class FileDescriptor {
public:
  FileDescriptor() = default;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
  }

private:
  int fd_ = -1;
};

struct Pipe {
  FileDescriptor readEnd;
  FileDescriptor writeEnd;
};

void openPipe(Pipe& pipe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    throw systemError("pipe2", errno);
  pipe.readEnd.reset(fds[0]);
  pipe.writeEnd.reset(fds[1]);
}

/// posix_spawn's file actions, destroyed on every way out.
class SpawnActions {
public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

private:
  posix_spawn_file_actions_t actions_;
};

/// A raw pseudo-terminal: its controlling side as pipe.readEnd, the
/// terminal itself as pipe.writeEnd.
void openTerminal(Pipe& pipe) {
  const int controller = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (controller < 0)
    throw systemError("posix_openpt", errno);
  pipe.readEnd.reset(controller);
  if (::grantpt(controller) != 0 || ::unlockpt(controller) != 0)
    throw systemError("grantpt", errno);
  const char* name = ::ptsname(controller);
  const int terminal = name != nullptr ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  if (terminal < 0)
    throw systemError("open pseudo-terminal", errno);
  pipe.writeEnd.reset(terminal);
  termios settings{};
  if (::tcgetattr(terminal, &settings) != 0)
    throw systemError("tcgetattr", errno);
  ::cfmakeraw(&settings);
  if (::tcsetattr(terminal, TCSANOW, &settings) != 0)
    throw systemError("tcsetattr", errno);
}

std::vector<std::string> mergedEnvironment(const ProcessOptions& options) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string variable(*entry);
    bool replaced = false;
    for (const auto& [name, value] : options.environment)
      replaced = replaced || variable.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced)
      merged.push_back(std::move(variable));
  }
  for (const auto& [name, value] : options.environment)
    merged.push_back(name + "=" + value);
  return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts)
    pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

} // namespace

ProcessResult ProcessRunner::run(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const ProcessOptions& options) {
  Pipe output;
  Pipe error;
  openPipe(output);
  if (options.standardErrorTerminal)
    openTerminal(error);
  else
    openPipe(error);

  SpawnActions actions;
  ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.get(), output.writeEnd.get(), STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(actions.get(), error.writeEnd.get(), STDERR_FILENO);
  if (!options.workingDirectory.empty())
    ::posix_spawn_file_actions_addchdir_np(actions.get(), options.workingDirectory.c_str());

  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = pointersTo(argumentTexts);
  std::vector<std::string> environmentTexts = mergedEnvironment(options);
  std::vector<char*> envp = pointersTo(environmentTexts);

  pid_t pid = 0;
  int spawnError = ::posix_spawnp(&pid, program.c_str(), actions.get(), nullptr,
                                  argv.data(), envp.data());
  if (spawnError != 0)
    throw systemError("cannot start " + program, spawnError);
  output.writeEnd.reset();
  error.writeEnd.reset();

  ProcessResult result;
  const auto deadline = std::chrono::steady_clock::now() + options.timeLimit;
  pollfd watched[2] = {{output.readEnd.get(), POLLIN, 0}, {error.readEnd.get(), POLLIN, 0}};
  std::string* sinks[2] = {&result.standardOutput, &result.standardError};
  int open = 2;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    int waitMs = result.timedOut ? -1 : static_cast<int>(std::max<long long>(left.count(), 0));
    int ready = ::poll(watched, 2, waitMs);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0)
      throw systemError("poll", errno);
    if (ready == 0) {
      // Killing closes the pipes, so the loop then ends on end-of-file.
      result.timedOut = true;
      ::kill(pid, SIGKILL);
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0)
        continue;
      char buffer[65536];
      ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR)
        continue;
      // A pseudo-terminal ends in EIO once the program has closed it.
      if (got <= 0) {
        watched[i].fd = -1;
        --open;
      } else {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      }
    }
  }

  // A program may close its output and still run on; it gets the rest of
  // its time before it is killed.
  int status = 0;
  for (;;) {
    pid_t ended = ::waitpid(pid, &status, result.timedOut ? 0 : WNOHANG);
    if (ended == pid)
      break;
    if (ended < 0 && errno != EINTR)
      throw systemError("waitpid", errno);
    if (ended == 0 && std::chrono::steady_clock::now() >= deadline) {
      result.timedOut = true;
      ::kill(pid, SIGKILL);
    } else if (ended == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitCode = 128 + WTERMSIG(status);
  return result;
}

} // namespace testsupport
