#pragma once
#include <cstddef>
#include <string>

#include "net/connection.h"
#include "net/send_queue.h"
#include "platform/event_loop.h"

namespace zelk::net {

// Bytes handed to each send() call: the server of the handheld this client comes from never
// saw more at once, and some old servers still read commands in small pieces.
inline constexpr std::size_t kSendSliceBytes = 254;

// A connected TCP socket on the event loop: reads on readiness, queued writes flushed as the
// socket becomes writable, never SIGPIPE.
class TcpConnection final : public Connection {
 public:
  // Takes `fd` (connected, any blocking mode) and watches it for reading.
  TcpConnection(platform::EventLoop& loop, int fd, ConnectionEvents& events);
  // Shuts the connection down and closes it; what is still queued is dropped.
  ~TcpConnection() override;
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  [[nodiscard]] ReadResult Read(char* into, std::size_t capacity) override;
  [[nodiscard]] bool Send(std::string_view bytes) override;
  std::size_t Queued() const override { return queue_.size(); }
  int fd() const { return fd_; }
  // Stops watching the socket and hands it over unclosed (to TLS after STLS or STARTTLS, which
  // come only once everything queued has gone out: the server has answered it).
  int Release();

 private:
  enum class Flush { kDone, kWaiting, kFailed };
  Flush WriteQueue();
  void OnWritable();

  platform::EventLoop& loop_;
  int fd_;
  ConnectionEvents& events_;
  SendQueue queue_;
  bool failed_ = false;
  bool watchingWritable_ = false;
};

}  // namespace zelk::net
