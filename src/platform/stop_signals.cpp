#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <cerrno>
#include <unistd.h>

#include <utility>

namespace zelk::platform {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

void SetHandler(void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(EventLoop& loop, std::function<void()> received)
    : loop_(loop), received_(std::move(received)) {
  // Without the pipe the signals keep their usual effect.
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  loop_.WatchReadable(signalPipe[0], [this] { Drain(); });
  SetHandler(OnSignal);
}

StopSignals::~StopSignals() {
  if (signalPipe[0] < 0) return;
  SetHandler(SIG_DFL);
  loop_.Unwatch(signalPipe[0]);
  for (int& fd : signalPipe) {
    ::close(fd);
    fd = -1;
  }
}

void StopSignals::Drain() {
  char bytes[16];
  ssize_t got;
  while ((got = ::read(signalPipe[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < got; ++i) received_();
  }
}

}  // namespace zelk::platform
