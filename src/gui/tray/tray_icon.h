#pragma once
#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>

#include "ports/ports.h"

namespace zelk::gui {

// The icon in the desktop's tray: normal, busy while a conversation runs, or new mail; a click
// pops up its menu, whose "Check all accounts" and "Stop" follow the network.
class TrayIcon {
 public:
  struct Actions {
    std::function<void()> showWindow, checkAll, stop, newMessage, exit;
    std::function<bool()> conversationExists;
  };
  explicit TrayIcon(Actions actions);

  void SetShown(bool shown);
  bool Shown() const { return icon_.isVisible(); }
  void SetState(ports::TrayState state);
  ports::TrayState State() const { return state_; }

 private:
  void PopUp();

  Actions actions_;
  QSystemTrayIcon icon_;
  QMenu menu_;
  QAction* checkAll_;
  QAction* stop_;
  ports::TrayState state_ = ports::TrayState::kNormal;
};

}  // namespace zelk::gui
