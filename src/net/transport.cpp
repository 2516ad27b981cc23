#include "net/transport.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zelk::net {

PollResult LineTransport::PollReceive(Connection& connection, LineSink& sink) {
  if (overflowed_) return kPollOutOfMemory;
  // A sink that waits in a nested event loop must not have the buffer refilled under its line.
  if (delivering_) return kPollNothing;
  if (!MakeRoom(carried_ + kReceiveBytes)) return Overflow();
  const ReadResult read = connection.Read(buffer_.get() + carried_, kReceiveBytes);
  switch (read.status) {
    case ReadStatus::kData: return Deliver(carried_ + read.bytes, sink);
    case ReadStatus::kNothing: return kPollNothing;
    case ReadStatus::kClosed: return kPollClosed;
    case ReadStatus::kFailed: return kPollFailed;
  }
  return kPollFailed;
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
    following_ = end - (at + 2);
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

}  // namespace zelk::net
