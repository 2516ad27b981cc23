#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::net {

// The only code that touches sockets: one IPv4 TCP connection, polled without blocking, cut into
// CR LF lines. It knows nothing of POP3 or SMTP. Progress texts ("Finding Host...",
// "Connecting...") are the conversation driver's to show; errors come back as fixed texts.

// Where received lines go (the conversation driver). Called synchronously from PollReceive with
// the line without its CR LF; the view is valid only during the call. True: go on; false: stop,
// and the rest of the chunk is dropped. The sink may send on the socket, and it may close the
// connection (CloseConnection) before it answers.
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
// Bytes handed to each send() call.
inline constexpr std::size_t kSendSliceBytes = 254;
// SendText gives up when the socket accepts nothing for this long: TCP itself would wait about
// fifteen minutes, and the driver's inactivity timer cannot fire while a send blocks the thread.
inline constexpr std::chrono::milliseconds kSendStallLimit{60'000};

// Looks a host name (local code page bytes) up: its first IPv4 address in network order, or
// nothing. May throw std::bad_alloc. The default asks the system resolver (getaddrinfo, AF_INET).
using HostLookup = std::optional<std::uint32_t> (*)(const std::string& name);
std::optional<std::uint32_t> SystemHostLookup(const std::string& name);

// The IPv4 address of the server in network order, or 0 with `error` set to "Server name not
// set", "Memory Allocation error" or "Unable to find email server". A dotted-quad name is used as
// it is, without any lookup. `error` is left alone on success.
std::uint32_t ResolveServer(const platform::Text& name, platform::Text& error,
                            HostLookup lookup = SystemHostLookup);

// A connected, blocking, close-on-exec TCP socket to address:port (the low 16 bits of `port`),
// or -1 with `error` set to "Socket creation error" or "Connection failed"; a failed attempt
// leaves no socket open. Blocks until the connection succeeds or fails.
int OpenConnection(std::uint32_t address, int port, platform::Text& error);

// Results of LineTransport::PollReceive.
enum PollResult : int {
  kPollNothing = 2,       // nothing to read
  kPollDelivered = 1,     // data read and its complete lines delivered (or the sink said stop)
  kPollClosed = 0,        // the peer closed the connection, or recv failed
  kPollFailed = -1,       // the readiness check failed (the driver shows "Selection error")
  kPollOutOfMemory = -2,  // no memory, or a line beyond kMaxLineBytes ("Memory Allocation error")
};

// The receive state of one connection: one reused buffer that holds the incomplete last line
// (the carry-over) followed by the bytes of the current read. Owned by the conversation.
class LineTransport {
 public:
  LineTransport() = default;
  LineTransport(const LineTransport&) = delete;
  LineTransport& operator=(const LineTransport&) = delete;

  // Checks the socket without waiting; when it is readable, reads once and delivers every line
  // completed by the new bytes, in order. Only CR LF ends a line: a lone CR or LF, and a zero
  // byte, are bytes of the line. A CR at the end of one read still pairs with an LF at the start
  // of the next. When the sink says stop, the rest of this read is dropped and the carry-over
  // stays as it was before the read. After kPollOutOfMemory every later poll gives it again until
  // Reset.
  PollResult PollReceive(int fd, LineSink& sink);

  // Frees the buffer and forgets the carry-over, as at the start of a connection.
  void Reset();

  // The incomplete last line received so far.
  std::string_view pending() const { return {buffer_.get(), carried_}; }
  // Bytes held for receiving.
  std::size_t capacity() const { return capacity_; }

 private:
  bool MakeRoom(std::size_t bytes);
  PollResult Deliver(std::size_t end, LineSink& sink);
  PollResult Overflow();

  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t carried_ = 0;      // the carry-over: the first bytes of buffer_
  bool overflowed_ = false;
  bool delivering_ = false;
  unsigned generation_ = 0;      // changes on Reset, so a delivery knows its buffer went away
};

// Sends every byte, in order and with nothing added, at most kSendSliceBytes per send() call.
// 0 when all went out; -1 on a socket error, a closed peer (never SIGPIPE), or when the socket
// accepts nothing for `stall_limit`.
int SendText(int fd, std::string_view bytes, std::chrono::milliseconds stall_limit = kSendStallLimit);
// Text in the local code page through SendText; -1 also when the conversion runs out of memory.
int SendWideText(int fd, const platform::Text& text,
                 std::chrono::milliseconds stall_limit = kSendStallLimit);

// Shuts the connection down and closes it (a negative fd is skipped), then resets the receive state.
void CloseConnection(int fd, LineTransport& transport);

}  // namespace zelk::net
