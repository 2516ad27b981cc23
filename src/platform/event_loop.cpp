#include "platform/event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace zelk::platform {

void PollEventLoop::SetTimer(int id, std::chrono::milliseconds period, Callback fire) {
  timers_[id] = Timer{period, Clock::now() + period, std::make_shared<Callback>(std::move(fire))};
}

void PollEventLoop::KillTimer(int id) { timers_.erase(id); }

bool PollEventLoop::HasTimer(int id) const { return timers_.contains(id); }

void PollEventLoop::WatchReadable(int fd, Callback ready) { watched_[fd] = std::make_shared<Callback>(std::move(ready)); }

void PollEventLoop::Unwatch(int fd) { watched_.erase(fd); }

void PollEventLoop::Post(Callback call) { posted_.push_back(std::move(call)); }

bool PollEventLoop::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!RunOnce()) return false;
  }
  return true;
}

bool PollEventLoop::RunOnce() {
  if (!posted_.empty()) {
    std::vector<Callback> calls;
    calls.swap(posted_);
    for (Callback& call : calls) call();
    return true;
  }
  if (timers_.empty() && watched_.empty()) return false;

  int timeout = -1;
  if (!timers_.empty()) {
    const auto next = std::min_element(timers_.begin(), timers_.end(),
                                       [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next->second.due - Clock::now());
    timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
  }
  std::vector<pollfd> fds;
  for (const auto& [fd, ready] : watched_) fds.push_back({fd, POLLIN, 0});
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) return false;

  // Callbacks may change what is watched: each is looked up again before it runs, and a copy of
  // its function keeps it alive while it runs.
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    const auto found = watched_.find(p.fd);
    if (found == watched_.end()) continue;
    const std::shared_ptr<Callback> callback = found->second;
    (*callback)();
  }
  const Clock::time_point now = Clock::now();
  std::vector<int> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.push_back(id);
  }
  for (const int id : due) {
    const auto found = timers_.find(id);
    if (found == timers_.end() || found->second.due > now) continue;
    found->second.due = now + found->second.period;
    const std::shared_ptr<Callback> callback = found->second.fire;
    (*callback)();
  }
  return true;
}

}  // namespace zelk::platform
