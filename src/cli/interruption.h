#pragma once
#include <functional>

#include "platform/event_loop.h"
#include "platform/stop_signals.h"

namespace zelk::cli {

// While it lives, SIGINT and SIGTERM reach the event loop instead of ending the process: the
// first calls `stop` (the Stop command: RSET and QUIT, so nothing marked is half carried out), a
// second gives up waiting for the server. Either way the command goes on to write its files.
class Interruption {
 public:
  Interruption(platform::EventLoop& loop, std::function<void()> stop);
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  // Runs the loop until `over` or a second signal came.
  void Run(const std::function<bool()>& over);
  bool interrupted() const { return signals_ > 0; }

 private:
  platform::EventLoop& loop_;
  std::function<void()> stop_;
  int signals_ = 0;
  platform::StopSignals stopSignals_;
};

}  // namespace zelk::cli
