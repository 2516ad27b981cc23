#pragma once
#include <cstddef>
#include <memory>
#include <string_view>

#include "net/connection.h"

namespace zelk::net {

// The received byte stream of one connection, cut into CR LF lines. It knows nothing of POP3 or
// SMTP, nor of what carries the bytes (the connection seam, connection.h).

// Where received lines go (the conversation driver). Called synchronously from PollReceive with
// the line without its CR LF; the view is valid only during the call. True: go on; false: stop,
// and the rest of the chunk is dropped. The sink may send, and it may end the connection (Reset)
// before it answers.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual bool LineReceived(std::string_view line) = 0;
};

// Bytes read per readiness event.
inline constexpr std::size_t kReceiveBytes = 64 * 1024;
// A line longer than this ends the conversation ("Memory Allocation error"), so no server can
// make the client hold more than this for one line.
inline constexpr std::size_t kMaxLineBytes = 16 * 1024 * 1024;

// Results of LineTransport::PollReceive.
enum PollResult : int {
  kPollNothing = 2,       // nothing to read
  kPollDelivered = 1,     // data read and its complete lines delivered (or the sink said stop)
  kPollClosed = 0,        // the peer closed the connection, or recv failed
  kPollFailed = -1,       // the connection cannot be read (the driver shows "Selection error")
  kPollOutOfMemory = -2,  // no memory, or a line beyond kMaxLineBytes ("Memory Allocation error")
};

// The receive state of one connection: one reused buffer that holds the incomplete last line
// (the carry-over) followed by the bytes of the current read. Owned by the conversation.
class LineTransport {
 public:
  LineTransport() = default;
  LineTransport(const LineTransport&) = delete;
  LineTransport& operator=(const LineTransport&) = delete;

  // Reads once what the connection has, without waiting, and delivers every line
  // completed by the new bytes, in order. Only CR LF ends a line: a lone CR or LF, and a zero
  // byte, are bytes of the line. A CR at the end of one read still pairs with an LF at the start
  // of the next. When the sink says stop, the rest of this read is dropped and the carry-over
  // stays as it was before the read. After kPollOutOfMemory every later poll gives it again until
  // Reset.
  PollResult PollReceive(Connection& connection, LineSink& sink);

  // Frees the buffer and forgets the carry-over, as at the start of a connection.
  void Reset();

  // The incomplete last line received so far.
  std::string_view pending() const { return {buffer_.get(), carried_}; }
  // During LineSink::LineReceived: the bytes of the current read after the line delivered. A
  // server that must wait for the client (its answer to STLS or STARTTLS) has sent them unasked.
  std::size_t following() const { return following_; }
  // Bytes held for receiving.
  std::size_t capacity() const { return capacity_; }

 private:
  bool MakeRoom(std::size_t bytes);
  PollResult Deliver(std::size_t end, LineSink& sink);
  PollResult Overflow();

  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t carried_ = 0;      // the carry-over: the first bytes of buffer_
  std::size_t following_ = 0;
  bool overflowed_ = false;
  bool delivering_ = false;
  unsigned generation_ = 0;      // changes on Reset, so a delivery knows its buffer went away
};

}  // namespace zelk::net
