#include "support/LoopbackServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testsupport {

namespace {

// Generous: a python3 start plus, for https, an RSA key generation.
constexpr int startTimeoutMilliseconds = 30000;
// In the server's directory, beside (not in) the served root.
constexpr char requestLogName[] = "requests.log";

std::string makeTemporaryDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/vexlor-loopback-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary directory from " + pattern);
  }
  return buffer.data();
}

// Reads the server's first line ("port N") within the start timeout.
std::string readFirstLine(int descriptor) {
  std::string line;
  char character = 0;
  while (true) {
    pollfd readable = {descriptor, POLLIN, 0};
    int ready = poll(&readable, 1, startTimeoutMilliseconds);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready <= 0) {
      throw std::runtime_error("the loopback server did not report its port in time");
    }
    ssize_t count = ::read(descriptor, &character, 1);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      throw std::runtime_error("the loopback server ended before reporting its port");
    }
    if (character == '\n') {
      return line;
    }
    line += character;
  }
}

} // namespace

LoopbackServer::LoopbackServer(Transport transport)
    : directory(makeTemporaryDirectory()), tls(transport == Transport::httpsSelfSigned) {
  std::string root = directory + "/root";
  std::filesystem::create_directory(root);
  std::vector<std::string> arguments = {
      "python3", std::string(VEXLOR_TEST_SUPPORT_DIR) + "/loopback_http_server.py",
      "--root", root, "--log", directory + "/" + requestLogName,
      "--parent", std::to_string(getpid())};
  if (tls) {
    arguments.push_back("--tls");
    arguments.push_back(directory);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    std::filesystem::remove_all(directory);
    throw std::runtime_error("cannot create a pipe for the loopback server");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  int spawned = posix_spawnp(&process, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    process = -1;
    std::filesystem::remove_all(directory);
    throw std::runtime_error("cannot start python3 for the loopback server");
  }

  try {
    std::string line = readFirstLine(pipeEnds[0]);
    if (line.rfind("port ", 0) != 0) {
      throw std::runtime_error("unexpected first line from the loopback server: " + line);
    }
    listeningPort = std::stoi(line.substr(5));
  } catch (...) {
    close(pipeEnds[0]);
    kill(process, SIGTERM);
    waitpid(process, nullptr, 0);
    std::filesystem::remove_all(directory);
    throw;
  }
  // The server writes nothing more; closing our end is harmless to it.
  close(pipeEnds[0]);
}

LoopbackServer::~LoopbackServer() {
  if (process > 0) {
    kill(process, SIGTERM);
    waitpid(process, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

void LoopbackServer::addFile(const std::string& relativePath, const std::string& content) const {
  std::filesystem::path path = std::filesystem::path(directory) / "root" / relativePath;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary);
  file << content;
  if (!file.flush()) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::vector<std::string> LoopbackServer::requests() const {
  std::vector<std::string> paths;
  std::ifstream log(directory + "/" + requestLogName, std::ios::binary);
  std::string line;
  while (std::getline(log, line)) {
    paths.push_back(line);
  }
  return paths;
}

std::string LoopbackServer::certificateFile() const {
  return tls ? directory + "/certificate.pem" : "";
}

std::string LoopbackServer::url(const std::string& path) const {
  return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(listeningPort) +
         path;
}

} // namespace testsupport
