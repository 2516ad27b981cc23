#pragma once
#include <cstddef>
#include <string_view>

// The seam between the line transport and the socket: what a conversation reads and writes
// through, whatever carries the bytes (plain TCP, or TLS over it). Nothing here ever waits.
namespace zelk::net {

enum class ReadStatus {
  kData,     // `bytes` bytes were read
  kNothing,  // nothing to read now
  kClosed,   // the peer closed the connection, or reading failed
  kFailed,   // the connection cannot be read at all (a descriptor that is not open)
};

struct ReadResult {
  ReadStatus status;
  std::size_t bytes = 0;
};

// What a connection tells its owner, on the event loop's thread.
class ConnectionEvents {
 public:
  virtual ~ConnectionEvents() = default;
  // Bytes, or the end of the stream, are there to be read.
  virtual void Readable() = 0;
  // Queued bytes that had to wait for room went out: the peer is still taking them.
  virtual void SendProgressed() = 0;
  // Queued bytes could not go out: the peer is gone. Nothing more is sent.
  virtual void SendFailed() = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // Reads what has arrived, at most `capacity` bytes.
  [[nodiscard]] virtual ReadResult Read(char* into, std::size_t capacity) = 0;
  // Queues the bytes behind any still waiting and writes what the peer takes now; the rest goes
  // out as room appears. False when the connection has failed (the bytes are dropped).
  [[nodiscard]] virtual bool Send(std::string_view bytes) = 0;
  // Bytes queued and not yet taken by the peer.
  virtual std::size_t Queued() const = 0;
};

}  // namespace zelk::net
