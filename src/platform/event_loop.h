#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace zelk::platform {

// The program's one event loop, through which the network code gets its timers, socket readiness
// and calls that must run after the current event. Everything runs on one thread; callbacks may
// set and kill timers, watch and unwatch sockets, and wait in a nested loop. The GUI runs this on
// Qt's loop; zelk-cli and the tests run PollEventLoop.
class EventLoop {
 public:
  using Callback = std::function<void()>;
  virtual ~EventLoop() = default;

  // Starts timer `id` (replacing one of that id): `fire` runs every `period` until it is killed.
  virtual void SetTimer(int id, std::chrono::milliseconds period, Callback fire) = 0;
  virtual void KillTimer(int id) = 0;
  virtual bool HasTimer(int id) const = 0;
  // `ready` runs whenever the descriptor can be read (data, end of stream or an error).
  virtual void WatchReadable(int fd, Callback ready) = 0;
  // `ready` runs whenever the descriptor can be written (room, a finished connect, or an error).
  virtual void WatchWritable(int fd, Callback ready) = 0;
  virtual void UnwatchWritable(int fd) = 0;
  // Stops watching the descriptor for both.
  virtual void Unwatch(int fd) = 0;
  // `call` runs once, after the current event, on the loop's thread. The one operation that other
  // threads may call: a worker hands its result back through it.
  virtual void Post(Callback call) = 0;
  // Runs events until `done` answers true: a nested wait during which timers, sockets and posted
  // calls keep running. Returns false when nothing is left that could ever make `done` true.
  virtual bool RunUntil(const std::function<bool()>& done) = 0;
};

// The event loop on poll(2).
class PollEventLoop final : public EventLoop {
 public:
  void SetTimer(int id, std::chrono::milliseconds period, Callback fire) override;
  void KillTimer(int id) override;
  bool HasTimer(int id) const override;
  PollEventLoop();
  ~PollEventLoop() override;
  PollEventLoop(const PollEventLoop&) = delete;
  PollEventLoop& operator=(const PollEventLoop&) = delete;

  void WatchReadable(int fd, Callback ready) override;
  void WatchWritable(int fd, Callback ready) override;
  void UnwatchWritable(int fd) override;
  void Unwatch(int fd) override;
  void Post(Callback call) override;
  bool RunUntil(const std::function<bool()>& done) override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::shared_ptr<Callback> fire;  // shared: a timer may replace or kill itself while it runs
  };
  // Runs one round: posted calls, then ready sockets, then due timers. False when idle forever.
  bool RunOnce();

  std::map<int, Timer> timers_;
  std::map<int, std::shared_ptr<Callback>> readable_;
  std::map<int, std::shared_ptr<Callback>> writable_;
  std::mutex postedMutex_;
  std::vector<Callback> posted_;
  int wakeFd_ = -1;  // an eventfd: a Post from another thread ends the wait in poll()
};

}  // namespace zelk::platform
