#include "platform/event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace zelk::platform {

PollEventLoop::PollEventLoop() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

PollEventLoop::~PollEventLoop() { ::close(wakeFd_); }

void PollEventLoop::SetTimer(int id, std::chrono::milliseconds period, Callback fire) {
  timers_[id] = Timer{period, Clock::now() + period, std::make_shared<Callback>(std::move(fire))};
}

void PollEventLoop::KillTimer(int id) { timers_.erase(id); }

bool PollEventLoop::HasTimer(int id) const { return timers_.contains(id); }

void PollEventLoop::WatchReadable(int fd, Callback ready) { readable_[fd] = std::make_shared<Callback>(std::move(ready)); }

void PollEventLoop::WatchWritable(int fd, Callback ready) { writable_[fd] = std::make_shared<Callback>(std::move(ready)); }

void PollEventLoop::UnwatchWritable(int fd) { writable_.erase(fd); }

void PollEventLoop::Unwatch(int fd) {
  readable_.erase(fd);
  writable_.erase(fd);
}

void PollEventLoop::Post(Callback call) {
  {
    const std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(call));
  }
  const std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing else can go wrong with an eventfd.
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!RunOnce()) return false;
  }
  return true;
}

bool PollEventLoop::RunOnce() {
  std::vector<Callback> calls;
  {
    const std::lock_guard lock(postedMutex_);
    calls.swap(posted_);
  }
  if (!calls.empty()) {
    for (Callback& call : calls) call();
    return true;
  }
  if (timers_.empty() && readable_.empty() && writable_.empty()) return false;

  int timeout = -1;
  if (!timers_.empty()) {
    const auto next = std::min_element(timers_.begin(), timers_.end(),
                                       [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next->second.due - Clock::now());
    timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
  }
  std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}};
  for (const auto& [fd, ready] : readable_) fds.push_back({fd, POLLIN, 0});
  for (const auto& watched : writable_) {
    const int fd = watched.first;
    const auto same = std::find_if(fds.begin() + 1, fds.end(), [fd](const pollfd& p) { return p.fd == fd; });
    if (same != fds.end()) {
      same->events |= POLLOUT;
    } else {
      fds.push_back({fd, POLLOUT, 0});
    }
  }
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) return false;
  if (ready > 0 && fds[0].revents != 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
  }

  // Callbacks may change what is watched: each is looked up again before it runs, and a copy of
  // its function keeps it alive while it runs.
  const auto run = [](std::map<int, std::shared_ptr<Callback>>& watched, int fd) {
    const auto found = watched.find(fd);
    if (found == watched.end()) return;
    const std::shared_ptr<Callback> callback = found->second;
    (*callback)();
  };
  for (auto p = fds.begin() + 1; p != fds.end(); ++p) {
    // An error or a hang-up is news for both sides: the read sees the end, the write its failure.
    const short failed = POLLERR | POLLHUP | POLLNVAL;
    if (p->revents & (POLLIN | failed) && p->events & POLLIN) run(readable_, p->fd);
    if (p->revents & (POLLOUT | failed) && p->events & POLLOUT) run(writable_, p->fd);
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
