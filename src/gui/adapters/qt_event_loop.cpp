#include "gui/adapters/qt_event_loop.h"

#include <QEventLoop>
#include <QMetaObject>

namespace zelk::gui {

QtEventLoop::QtEventLoop() = default;

QtEventLoop::~QtEventLoop() {
  for (auto* watches : {&readable_, &writable_}) {
    while (!watches->empty()) Drop(*watches, watches->begin()->first);
  }
}

void QtEventLoop::SetTimer(int id, std::chrono::milliseconds period, Callback fire) {
  Timer& slot = timers_[id];
  if (slot.timer) {
    slot.timer->stop();
    slot.timer.release()->deleteLater();
  }
  slot.fire = std::make_shared<Callback>(std::move(fire));
  slot.timer = std::make_unique<QTimer>();
  slot.timer->setTimerType(Qt::PreciseTimer);
  std::weak_ptr<Callback> weak = slot.fire;
  QObject::connect(slot.timer.get(), &QTimer::timeout, this, [weak] {
    if (const std::shared_ptr<Callback> held = weak.lock()) (*held)();
  });
  slot.timer->start(static_cast<int>(period.count()));
}

void QtEventLoop::KillTimer(int id) {
  const auto found = timers_.find(id);
  if (found == timers_.end()) return;
  found->second.timer->stop();
  found->second.timer.release()->deleteLater();
  timers_.erase(found);
}

bool QtEventLoop::HasTimer(int id) const { return timers_.count(id) != 0; }

void QtEventLoop::StartWatching(Watches& watches, int fd, QSocketNotifier::Type type, Callback ready) {
  Drop(watches, fd);
  Watch& watch = watches[fd];
  watch.ready = std::make_shared<Callback>(std::move(ready));
  watch.notifier = std::make_unique<QSocketNotifier>(fd, type);
  std::weak_ptr<Callback> weak = watch.ready;
  QObject::connect(watch.notifier.get(), &QSocketNotifier::activated, this, [weak] {
    // Held for the call: the callback may unwatch its own descriptor.
    if (const std::shared_ptr<Callback> held = weak.lock()) (*held)();
  });
}

void QtEventLoop::Drop(Watches& watches, int fd) {
  const auto found = watches.find(fd);
  if (found == watches.end()) return;
  found->second.notifier->setEnabled(false);
  found->second.notifier.release()->deleteLater();
  watches.erase(found);
}

void QtEventLoop::WatchReadable(int fd, Callback ready) {
  StartWatching(readable_, fd, QSocketNotifier::Read, std::move(ready));
}

void QtEventLoop::WatchWritable(int fd, Callback ready) {
  StartWatching(writable_, fd, QSocketNotifier::Write, std::move(ready));
}

void QtEventLoop::UnwatchWritable(int fd) { Drop(writable_, fd); }

void QtEventLoop::Unwatch(int fd) {
  Drop(readable_, fd);
  Drop(writable_, fd);
}

void QtEventLoop::Post(Callback call) {
  QMetaObject::invokeMethod(this, [call = std::move(call)] { call(); }, Qt::QueuedConnection);
}

// In a window the user can always still act (Stop, closing a dialog), so a wait never gives up.
bool QtEventLoop::RunUntil(const std::function<bool()>& done) {
  QEventLoop nested;
  while (!done()) nested.processEvents(QEventLoop::WaitForMoreEvents);
  return true;
}

}  // namespace zelk::gui
