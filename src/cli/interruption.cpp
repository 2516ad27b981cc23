#include "cli/interruption.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <utility>

namespace zelk::cli {

namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

Interruption::Interruption(platform::EventLoop& loop, std::function<void()> stop)
    : loop_(loop), stop_(std::move(stop)) {
  const sigset_t set = StopSignals();
  // Blocked signals wait in the signalfd; without one they keep their usual effect.
  fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd_ < 0) return;
  ::sigprocmask(SIG_BLOCK, &set, nullptr);
  loop_.WatchReadable(fd_, [this] { OnSignal(); });
}

Interruption::~Interruption() {
  if (fd_ < 0) return;
  loop_.Unwatch(fd_);
  ::close(fd_);
  const sigset_t set = StopSignals();
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void Interruption::Run(const std::function<bool()>& over) {
  loop_.RunUntil([&] { return signals_ > 1 || over(); });
}

void Interruption::OnSignal() {
  signalfd_siginfo info;
  while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (++signals_ == 1) stop_();
  }
}

}  // namespace zelk::cli
