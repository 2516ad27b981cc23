#pragma once
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace zelk::gui {

// SIGTERM and SIGINT as an event of the window's loop, so that the program ends as Exit ends it:
// every file written. A signal handler may do no more than write a byte.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void()> received);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::function<void()> received_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace zelk::gui
