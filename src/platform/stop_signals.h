#pragma once
#include <functional>

#include "platform/event_loop.h"

namespace zelk::platform {

// While it lives, SIGINT and SIGTERM arrive as events of the loop instead of ending the process:
// `received` runs on the loop's thread once per signal. The handler only writes a byte to a pipe,
// which works whichever thread the signal lands on (the desktop program has threads of Qt's own
// that no signal mask reaches). One at a time per process.
class StopSignals {
 public:
  StopSignals(EventLoop& loop, std::function<void()> received);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void Drain();

  EventLoop& loop_;
  std::function<void()> received_;
};

}  // namespace zelk::platform
