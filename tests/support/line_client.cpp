#include "support/line_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace zelk::test {

LineClient::LineClient(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
  }
}

LineClient::~LineClient() { ::close(fd_); }

void LineClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) throw std::runtime_error("write to the server failed");
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

std::string LineClient::ReadLine() {
  for (;;) {
    const auto end = buffer_.find("\r\n", start_);
    if (end != std::string::npos) {
      std::string line = buffer_.substr(start_, end - start_);
      start_ = end + 2;
      return line;
    }
    buffer_.erase(0, start_);
    start_ = 0;
    pollfd readable{fd_, POLLIN, 0};
    char chunk[65536];
    ssize_t got = 0;
    if (::poll(&readable, 1, 10000) != 1 || (got = ::read(fd_, chunk, sizeof chunk)) <= 0) {
      throw std::runtime_error("no complete line from the server; have '" + buffer_.substr(0, 200) + "'");
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace zelk::test
