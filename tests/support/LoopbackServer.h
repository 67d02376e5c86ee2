// A test HTTP(S) server on the loopback interface, started and stopped by the test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

/// A python3 HTTP (or HTTPS) server on 127.0.0.1 and an ephemeral port,
/// running tests/support/loopback_http_server.py (see its routes there), with
/// its own temporary directory whose files it serves by path. It listens once
/// the constructor returns and is terminated by the destructor (or, should
/// the test process die first, ends by itself within a second).
/// The target compiling this file defines VEXLOR_TEST_SUPPORT_DIR as the
/// absolute path of tests/support.
class LoopbackServer {
public:
  enum class Transport { http, httpsSelfSigned };

  /// Starts the server; throws std::runtime_error when it does not come up.
  explicit LoopbackServer(Transport transport = Transport::http);
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer();

  /// Writes content to relativePath under the served directory, so that
  /// url("/" + relativePath) returns it.
  void addFile(const std::string& relativePath, const std::string& content) const;

  /// "http://127.0.0.1:PORT" (or https) followed by path.
  std::string url(const std::string& path) const;

  /// The path (with query, as sent) of every GET request received so far,
  /// oldest first. A request is listed before its response is sent.
  std::vector<std::string> requests() const;

  /// The PEM file of the https server's self-signed certificate, which
  /// clients can trust as a certificate authority; empty for http.
  std::string certificateFile() const;

  int port() const { return listeningPort; }

private:
  std::string directory;
  pid_t process = -1;
  int listeningPort = 0;
  bool tls = false;
};

} // namespace testsupport
