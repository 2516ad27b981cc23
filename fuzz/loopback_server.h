#pragma once
// What the network targets share: ports that answer nothing, the fault check, and a loopback
// server that plays the input's bytes to a real conversation.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "net/conversation.h"
#include "platform/event_loop.h"

namespace zelk::fuzz {

// Every port call answered or ignored; a target overrides what it wants to check.
struct QuietPorts : ports::DialogPort, ports::StatusPort, ports::QuietListView, ports::QuietShell {
  ports::Answer ShowMessage(const platform::Text&, const platform::Text&, ports::MessageIcon, ports::MessageButtons, bool) override {
    return ports::Answer::kOk;
  }
  std::optional<Password> AskPassword(const platform::Text&) override { return std::nullopt; }
  void SetStatusText(int, const platform::Text&) override {}
};

// Ends the run as a found fault when `ok` is false.
inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fault: %s\n", what);
  std::abort();
}

// One listener for the whole run; each input is one accepted connection.
inline int Listener(std::uint16_t& port) {
  static int fd = -1;
  static std::uint16_t bound = 0;
  if (fd < 0) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    bound = ntohs(address.sin_port);
  }
  port = bound;
  return fd;
}

// Accepts the conversation's connection and plays `bytes` to it until the conversation is over.
// Each round writes what the socket takes and drains what the client sent; after the last byte
// the server closes its side, so every conversation comes to an end.
inline void PlayToConversation(int listener, std::string_view bytes, platform::PollEventLoop& loop,
                               const net::Conversation& conversation) {
  const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (server < 0) std::abort();
  std::size_t sent = 0;
  bool closed = false;
  const auto serve = [&] {
    char sink[4096];
    while (::recv(server, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    while (sent < bytes.size()) {
      const ssize_t n = ::send(server, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
    if (!closed) {
      ::shutdown(server, SHUT_WR);
      closed = true;
    }
  };
  loop.RunUntil([&] {
    serve();
    return conversation.socket() == net::kNoSocket && !loop.HasTimer(net::kPollTimer);
  });
  ::close(server);
}

}  // namespace zelk::fuzz
