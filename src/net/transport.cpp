#include "net/transport.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace zelk::net {

std::optional<std::uint32_t> SystemHostLookup(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (rc == EAI_MEMORY) throw std::bad_alloc();
  if (rc != 0 || found == nullptr) return std::nullopt;
  sockaddr_in first{};
  std::memcpy(&first, found->ai_addr, std::min<std::size_t>(sizeof first, found->ai_addrlen));
  ::freeaddrinfo(found);
  return first.sin_addr.s_addr;
}

std::uint32_t ResolveServer(const platform::Text& name, platform::Text& error, HostLookup lookup) {
  if (name.empty()) {
    error = "Server name not set";
    return 0;
  }
  try {
    const std::string local = platform::TextToLocal(name);
    std::uint32_t address = 0;
    // A zero byte would silently shorten the name to another host's.
    if (local.find('\0') == std::string::npos) {
      in_addr literal{};
      if (::inet_pton(AF_INET, local.c_str(), &literal) == 1) {
        address = literal.s_addr;
      } else if (const auto looked_up = lookup(local)) {
        address = *looked_up;
      }
    }
    // 0 is the caller's "not resolved", so 0.0.0.0 cannot stand for a server.
    if (address == 0) {
      error = "Unable to find email server";
      return 0;
    }
    return address;
  } catch (const std::bad_alloc&) {
    error = "Memory Allocation error";
    return 0;
  }
}

namespace {

bool Connect(int fd, const sockaddr_in& to) {
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
  if (errno != EINTR) return false;
  // Interrupted by a signal, the attempt goes on in the background: wait for its outcome.
  pollfd wait{fd, POLLOUT, 0};
  while (::poll(&wait, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  int failure = 0;
  socklen_t length = sizeof failure;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) == 0 && failure == 0;
}

}  // namespace

int OpenConnection(std::uint32_t address, int port, platform::Text& error) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = "Socket creation error";
    return -1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  to.sin_addr.s_addr = address;
  if (!Connect(fd, to)) {
    ::close(fd);
    error = "Connection failed";
    return -1;
  }
  return fd;
}

PollResult LineTransport::PollReceive(int fd, LineSink& sink) {
  if (overflowed_) return kPollOutOfMemory;
  // A sink that waits in a nested event loop must not have the buffer refilled under its line.
  if (delivering_) return kPollNothing;
  if (fd < 0) return kPollFailed;
  pollfd check{fd, POLLIN, 0};
  const int ready = ::poll(&check, 1, 0);
  if (ready < 0) return errno == EINTR ? kPollNothing : kPollFailed;
  if (ready == 0) return kPollNothing;
  if (check.revents & POLLNVAL) return kPollFailed;
  if (!MakeRoom(carried_ + kReceiveBytes)) return Overflow();
  ssize_t got = 0;
  do {
    got = ::recv(fd, buffer_.get() + carried_, kReceiveBytes, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kPollNothing;
  if (got <= 0) return kPollClosed;
  return Deliver(carried_ + static_cast<std::size_t>(got), sink);
}

PollResult LineTransport::Deliver(std::size_t end, LineSink& sink) {
  // Clears the flag on every way out, unless a Reset during the sink's call already did.
  struct Delivering {
    LineTransport& transport;
    unsigned generation;
    ~Delivering() {
      if (transport.generation_ == generation) transport.delivering_ = false;
    }
  } scope{*this, generation_};
  delivering_ = true;

  const char* const data = buffer_.get();
  std::size_t start = 0;
  // The carry-over holds no CR LF, but its last byte may be a CR whose LF has just come.
  std::size_t scan = carried_ > 0 ? carried_ - 1 : 0;
  while (scan < end) {
    const void* cr = std::memchr(data + scan, '\r', end - scan);
    if (cr == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
    if (at + 1 == end) break;  // its LF may come with the next read
    scan = at + 1;
    if (data[scan] != '\n') continue;
    if (at - start > kMaxLineBytes) return Overflow();
    const bool go_on = sink.LineReceived(std::string_view(data + start, at - start));
    // Closed during the call: the buffer is gone, and nothing of this read matters any more.
    if (generation_ != scope.generation) return kPollDelivered;
    // Stop: the rest of the read is dropped and the carry-over, still at the front, stays.
    if (!go_on) return kPollDelivered;
    start = scan = at + 2;
  }
  const std::size_t rest = end - start;
  if (rest > kMaxLineBytes) return Overflow();
  if (start > 0) std::memmove(buffer_.get(), data + start, rest);
  carried_ = rest;
  return kPollDelivered;
}

bool LineTransport::MakeRoom(std::size_t bytes) {
  if (capacity_ >= bytes) return true;
  // Doubling keeps a long line's growth linear; the carry-over never exceeds kMaxLineBytes.
  const std::size_t size = std::max(bytes, std::min(capacity_ * 2, kMaxLineBytes + kReceiveBytes));
  try {
    auto bigger = std::make_unique_for_overwrite<char[]>(size);
    if (carried_ > 0) std::memcpy(bigger.get(), buffer_.get(), carried_);
    buffer_ = std::move(bigger);
    capacity_ = size;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

PollResult LineTransport::Overflow() {
  Reset();
  overflowed_ = true;
  return kPollOutOfMemory;
}

void LineTransport::Reset() {
  buffer_.reset();
  capacity_ = 0;
  carried_ = 0;
  overflowed_ = false;
  delivering_ = false;
  ++generation_;
}

int SendText(int fd, std::string_view bytes, std::chrono::milliseconds stall_limit) {
  using Clock = std::chrono::steady_clock;
  if (fd < 0) return -1;
  auto deadline = Clock::now() + stall_limit;
  while (!bytes.empty()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd check{fd, POLLOUT, 0};
    const int ready = ::poll(&check, 1, static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX)));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (ready == 0 || (check.revents & POLLNVAL)) return -1;
    const ssize_t sent = ::send(fd, bytes.data(), std::min(bytes.size(), kSendSliceBytes),
                                MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return -1;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
    deadline = Clock::now() + stall_limit;
  }
  return 0;
}

int SendWideText(int fd, const platform::Text& text, std::chrono::milliseconds stall_limit) {
  try {
    return SendText(fd, platform::TextToLocal(text), stall_limit);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

void CloseConnection(int fd, LineTransport& transport) {
  if (fd >= 0) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }
  transport.Reset();
}

}  // namespace zelk::net
