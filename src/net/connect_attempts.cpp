#include "net/connect_attempts.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zelk::net {

ConnectAttempts::ConnectAttempts(platform::EventLoop& loop, std::vector<IpAddress> addresses, int port, Done done)
    : loop_(loop), addresses_(std::move(addresses)), port_(port), done_(std::move(done)) {}

ConnectAttempts::~ConnectAttempts() { CloseAll(); }

void ConnectAttempts::Start() { StartNext(); }

void ConnectAttempts::StartNext() {
  loop_.KillTimer(kNextAttemptTimer);
  while (next_ < addresses_.size()) {
    const IpAddress address = addresses_[next_++];
    const int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    anySocket_ = true;
    sockaddr_storage to;
    const socklen_t length = ToSocketAddress(address, port_, to);
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), length);
    if (rc == 0) {
      pending_.push_back({fd, address});
      OnWritable(fd);
      return;
    }
    // Interrupted, the attempt goes on in the background just as one in progress does.
    if (errno != EINPROGRESS && errno != EINTR) {
      ::close(fd);  // refused or unreachable at once: on to the next address now
      continue;
    }
    pending_.push_back({fd, address});
    loop_.WatchWritable(fd, [this, fd] { OnWritable(fd); });
    if (next_ < addresses_.size()) loop_.SetTimer(kNextAttemptTimer, kNextAttemptDelay, [this] { StartNext(); });
    return;
  }
  if (pending_.empty()) Finish(std::nullopt, anySocket_ ? "Connection failed" : "Socket creation error");
}

void ConnectAttempts::OnWritable(int fd) {
  const auto attempt = std::find_if(pending_.begin(), pending_.end(), [fd](const Attempt& a) { return a.fd == fd; });
  if (attempt == pending_.end()) return;
  // Readiness may be stale (the loop gathered it before this descriptor number was reused): only
  // a socket that is writable now has finished connecting.
  pollfd check{fd, POLLOUT, 0};
  if (::poll(&check, 1, 0) != 1) return;
  int failure = 0;
  socklen_t length = sizeof failure;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) failure = errno;
  if (failure == 0) {
    const Winner winner{fd, attempt->address};
    loop_.Unwatch(fd);
    pending_.erase(attempt);
    Finish(winner, {});
    return;
  }
  loop_.Unwatch(fd);
  ::close(fd);
  pending_.erase(attempt);
  // A failed attempt hands over to the next address at once rather than after the delay.
  if (next_ < addresses_.size()) {
    StartNext();
  } else if (pending_.empty()) {
    Finish(std::nullopt, "Connection failed");
  }
}

void ConnectAttempts::Finish(std::optional<Winner> winner, platform::Text error) {
  CloseAll();
  // Out of the object first: the receiver may destroy it.
  const Done done = std::move(done_);
  done_ = nullptr;
  if (done) done(winner, std::move(error));
}

void ConnectAttempts::CloseAll() {
  loop_.KillTimer(kNextAttemptTimer);
  for (const Attempt& attempt : pending_) {
    loop_.Unwatch(attempt.fd);
    ::close(attempt.fd);
  }
  pending_.clear();
}

}  // namespace zelk::net
