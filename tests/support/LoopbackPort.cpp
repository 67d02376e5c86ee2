#include "support/LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

LoopbackPort::LoopbackPort(Behaviour behaviour) {
  socketDescriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socketDescriptor < 0) {
    throw std::runtime_error("cannot create a socket");
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(socketDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(socketDescriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      (behaviour == Behaviour::silent && listen(socketDescriptor, 16) != 0)) {
    close(socketDescriptor);
    throw std::runtime_error("cannot bind a loopback port");
  }
  boundPort = ntohs(address.sin_port);
}

LoopbackPort::~LoopbackPort() { close(socketDescriptor); }

} // namespace testsupport
