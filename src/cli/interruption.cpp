#include "cli/interruption.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

Interruption::Interruption(platform::EventLoop& loop, net::Conversation& conversation)
    : loop_(loop), conversation_(conversation) {
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

void Interruption::RunConversation() {
  loop_.RunUntil([this] {
    return signals_ > 1 || (conversation_.socket() == net::kNoSocket && !loop_.HasTimer(net::kPollTimer));
  });
}

void Interruption::OnSignal() {
  signalfd_siginfo info;
  while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (++signals_ == 1) conversation_.Stop();
  }
}

}  // namespace zelk::cli
