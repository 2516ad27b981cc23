#include "cli/interruption.h"

#include <utility>

namespace zelk::cli {

Interruption::Interruption(platform::EventLoop& loop, std::function<void()> stop)
    : loop_(loop), stop_(std::move(stop)), stopSignals_(loop, [this] {
        if (++signals_ == 1) stop_();
      }) {}

void Interruption::Run(const std::function<bool()>& over) {
  loop_.RunUntil([&] { return signals_ > 1 || over(); });
}

}  // namespace zelk::cli
