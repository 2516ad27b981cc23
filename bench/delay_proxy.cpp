#include "delay_proxy.h"

#include "support/loopback_listener.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <stdexcept>

namespace zelk::bench {

namespace {

using Clock = std::chrono::steady_clock;

struct Held {
  Clock::time_point due;
  std::string bytes;
};

// One direction: what was read, each piece with the time it may go on.
struct Direction {
  int from;
  int to;
  std::deque<Held> held;
  bool closed = false;
};

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void Hide(std::string& bytes, std::string_view what, std::string_view instead) {
  for (std::size_t at = bytes.find(what); at != std::string::npos; at = bytes.find(what, at)) bytes.replace(at, what.size(), instead);
}

}  // namespace

DelayProxy::DelayProxy(int serverPort, std::chrono::milliseconds roundTrip, bool pipelining)
    : serverPort_(serverPort), oneWay_(std::chrono::duration_cast<std::chrono::microseconds>(roundTrip) / 2),
      pipelining_(pipelining) {
  const test::LoopbackListener listener = test::ListenOnLoopback(8, "delay proxy");
  listener_ = listener.fd;
  port_ = listener.port;
  thread_ = std::thread([this] { Run(); });
}

DelayProxy::~DelayProxy() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

void DelayProxy::Run() {
  while (!stop_) {
    pollfd watch{listener_, POLLIN, 0};
    if (::poll(&watch, 1, 50) != 1) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Relay(client);
  }
}

void DelayProxy::Relay(int client) {
  const int server = Connect(serverPort_);
  if (server < 0) {
    ::close(client);
    return;
  }
  Direction directions[2] = {{client, server, {}}, {server, client, {}}};
  while (!stop_) {
    const Clock::time_point now = Clock::now();
    int wait = 50;
    pollfd watch[2];
    for (int i = 0; i < 2; ++i) {
      Direction& d = directions[i];
      while (!d.held.empty() && d.held.front().due <= now) {
        const std::string& bytes = d.held.front().bytes;
        std::size_t done = 0;
        while (done < bytes.size()) {
          const ssize_t sent = ::send(d.to, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
          if (sent <= 0) break;
          done += static_cast<std::size_t>(sent);
        }
        d.held.pop_front();
      }
      if (!d.held.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d.held.front().due - now).count() + 1;
        wait = std::min<int>(wait, static_cast<int>(left));
      } else if (d.closed) {
        ::shutdown(d.to, SHUT_WR);
      }
      watch[i] = {d.closed ? -1 : d.from, POLLIN, 0};
    }
    if (directions[0].closed && directions[1].closed && directions[0].held.empty() && directions[1].held.empty()) break;
    if (::poll(watch, 2, wait) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (!(watch[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Direction& d = directions[i];
      char chunk[65536];
      const ssize_t got = ::read(d.from, chunk, sizeof chunk);
      if (got <= 0) {
        d.closed = true;
        continue;
      }
      std::string bytes(chunk, static_cast<std::size_t>(got));
      if (i == 1 && !pipelining_) Hide(bytes, "PIPELINING\r\n", "X-HIDDEN\r\n");
      d.held.push_back({Clock::now() + oneWay_, std::move(bytes)});
    }
  }
  ::close(client);
  ::close(server);
}

}  // namespace zelk::bench
