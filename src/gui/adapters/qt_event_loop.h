#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/event_loop.h"

namespace zelk::gui {

// The core's event loop on Qt's: a QTimer per timer number, a QSocketNotifier per watched
// descriptor and direction, posted calls as queued invocations (safe from any thread), nested
// waits as a local QEventLoop. Painting and input go on during all of them.
class QtEventLoop final : public QObject, public platform::EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  void SetTimer(int id, std::chrono::milliseconds period, Callback fire) override;
  void KillTimer(int id) override;
  bool HasTimer(int id) const override;
  void WatchReadable(int fd, Callback ready) override;
  void WatchWritable(int fd, Callback ready) override;
  void UnwatchWritable(int fd) override;
  void Unwatch(int fd) override;
  void Post(Callback call) override;
  bool RunUntil(const std::function<bool()>& done) override;

 private:
  struct Timer {
    std::unique_ptr<QTimer> timer;
    std::shared_ptr<Callback> fire;  // shared: a timer may replace or kill itself while it runs
  };
  struct Watch {
    std::unique_ptr<QSocketNotifier> notifier;
    std::shared_ptr<Callback> ready;
  };
  using Watches = std::map<int, Watch>;
  void StartWatching(Watches& watches, int fd, QSocketNotifier::Type type, Callback ready);
  // A notifier deleted inside its own signal would crash Qt: it is handed to deleteLater.
  static void Drop(Watches& watches, int fd);

  std::map<int, Timer> timers_;
  Watches readable_;
  Watches writable_;
};

}  // namespace zelk::gui
