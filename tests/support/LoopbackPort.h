// A loopback TCP port that refuses connections or never answers them.
#pragma once

namespace testsupport {

/// A TCP port on 127.0.0.1 held by this object for its lifetime, either
/// refusing every connection (bound, never listening) or silent (listening:
/// connections complete, but nothing is ever read or answered).
class LoopbackPort {
public:
  enum class Behaviour { refusing, silent };

  explicit LoopbackPort(Behaviour behaviour);
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;
  ~LoopbackPort();

  int port() const { return boundPort; }

private:
  int socketDescriptor = -1;
  int boundPort = 0;
};

} // namespace testsupport
