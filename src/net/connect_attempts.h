#pragma once
#include <chrono>
#include <functional>
#include <vector>

#include "net/ip_address.h"
#include "platform/code_page.h"
#include "platform/event_loop.h"

namespace zelk::net {

// How long an attempt may stay pending before the next address is tried beside it (RFC 8305,
// "Happy Eyeballs": "A simple implementation can have a fixed delay ... 250 ms").
inline constexpr std::chrono::milliseconds kNextAttemptDelay{250};
// The event loop's timer for that delay.
inline constexpr int kNextAttemptTimer = 11;

// Non-blocking connects to every address of a server, in the order given: the next attempt starts
// when the previous one fails or has been pending for kNextAttemptDelay; the first to connect wins
// and the others are closed. Nothing here ever waits: readiness comes through the event loop.
class ConnectAttempts {
 public:
  struct Winner {
    int fd;  // connected, non-blocking, close-on-exec; the receiver owns it
    IpAddress address;
  };
  // A winner, or none with the error text ("Connection failed", or "Socket creation error" when
  // not one socket could be made).
  using Done = std::function<void(std::optional<Winner> winner, platform::Text error)>;

  ConnectAttempts(platform::EventLoop& loop, std::vector<IpAddress> addresses, int port, Done done);
  // Closes every attempt still pending; `done` is never called after this.
  ~ConnectAttempts();
  ConnectAttempts(const ConnectAttempts&) = delete;
  ConnectAttempts& operator=(const ConnectAttempts&) = delete;

  // Starts the first attempt. `done` may run before this returns (every address refused at once).
  void Start();

 private:
  struct Attempt {
    int fd;
    IpAddress address;
  };
  void StartNext();
  void OnWritable(int fd);
  void Finish(std::optional<Winner> winner, platform::Text error);
  void CloseAll();

  platform::EventLoop& loop_;
  std::vector<IpAddress> addresses_;
  int port_;
  Done done_;
  std::size_t next_ = 0;
  std::vector<Attempt> pending_;
  bool anySocket_ = false;
};

}  // namespace zelk::net
