#include "net/tcp_connection.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zelk::net {

TcpConnection::TcpConnection(platform::EventLoop& loop, int fd, ConnectionEvents& events)
    : loop_(loop), fd_(fd), events_(events) {
  if (fd_ >= 0) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    loop_.WatchReadable(fd_, [this] { events_.Readable(); });
  }
}

TcpConnection::~TcpConnection() {
  if (fd_ < 0) return;
  loop_.Unwatch(fd_);
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
}

int TcpConnection::Release() {
  const int fd = fd_;
  if (fd_ >= 0) loop_.Unwatch(fd_);
  fd_ = -1;
  return fd;
}

ReadResult TcpConnection::Read(char* into, std::size_t capacity) {
  ssize_t got;
  do {
    got = ::recv(fd_, into, capacity, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got > 0) return {ReadStatus::kData, static_cast<std::size_t>(got)};
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {ReadStatus::kNothing};
  if (got < 0 && (errno == EBADF || errno == ENOTSOCK)) return {ReadStatus::kFailed};
  return {ReadStatus::kClosed};
}

bool TcpConnection::Send(std::string_view bytes) {
  if (failed_) return false;
  if (bytes.empty()) return true;
  queue_.Append(bytes);
  switch (WriteQueue()) {
    case Flush::kDone:
      return true;
    case Flush::kWaiting:
      if (!watchingWritable_) {
        loop_.WatchWritable(fd_, [this] { OnWritable(); });
        watchingWritable_ = true;
      }
      return true;
    case Flush::kFailed:
      return false;
  }
  return false;
}

TcpConnection::Flush TcpConnection::WriteQueue() {
  while (queue_.size() > 0) {
    const std::string_view slice = queue_.waiting().substr(0, kSendSliceBytes);
    const ssize_t wrote = ::send(fd_, slice.data(), slice.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return Flush::kWaiting;
      failed_ = true;
      queue_.Clear();
      return Flush::kFailed;
    }
    queue_.Taken(static_cast<std::size_t>(wrote));
  }
  queue_.Clear();
  return Flush::kDone;
}

void TcpConnection::OnWritable() {
  const std::size_t before = Queued();
  const Flush flush = WriteQueue();
  if (flush != Flush::kWaiting) {
    loop_.UnwatchWritable(fd_);
    watchingWritable_ = false;
  }
  // Last: the owner may end the conversation, and with it this connection.
  if (flush == Flush::kFailed) {
    events_.SendFailed();
  } else if (Queued() < before) {
    events_.SendProgressed();
  }
}

}  // namespace zelk::net
