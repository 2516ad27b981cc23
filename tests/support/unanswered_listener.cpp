#include "support/unanswered_listener.h"

#include "support/server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zelk::test {

UnansweredListener::UnansweredListener(const std::string& address, int port) {
  sockaddr_storage here;
  socklen_t length = SocketAddressOf(address, port, here);
  listener_ = ::socket(here.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&here), length) != 0 ||
      ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&here), &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    throw std::runtime_error("unanswered listener: cannot listen on " + address + " port " + std::to_string(port));
  }
  port_ = ntohs(here.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(here).sin6_port
                                            : reinterpret_cast<sockaddr_in&>(here).sin_port);
  // Connects until one stays unanswered: from then on the queue is full.
  for (int tries = 0; tries < 16; ++tries) {
    const int fd = ::socket(here.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&here), length) == 0) continue;
    pollfd wait{fd, POLLOUT, 0};
    if (::poll(&wait, 1, 200) == 0) return;
  }
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
  throw std::runtime_error("unanswered listener: the accept queue never filled");
}

UnansweredListener::~UnansweredListener() {
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
}

}  // namespace zelk::test
