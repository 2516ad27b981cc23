#include "support/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zelk::test {

LoopbackListener ListenOnLoopback(int backlog, const std::string& who) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in here{};
  here.sin_family = AF_INET;
  here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof here;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&here), sizeof here) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&here), &length) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error(who + ": cannot listen on 127.0.0.1");
  }
  return {fd, ntohs(here.sin_port)};
}

}  // namespace zelk::test
