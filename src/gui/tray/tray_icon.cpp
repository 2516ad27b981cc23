#include "gui/tray/tray_icon.h"

#include <QCursor>

namespace zelk::gui {

namespace {

QIcon IconFor(ports::TrayState state) {
  switch (state) {
    case ports::TrayState::kNormal: return QIcon(":/icons/tray-normal.svg");
    case ports::TrayState::kBusy: return QIcon(":/icons/tray-busy.svg");
    case ports::TrayState::kNewMail: return QIcon(":/icons/tray-new-mail.svg");
  }
  return {};
}

}  // namespace

TrayIcon::TrayIcon(Actions actions) : actions_(std::move(actions)) {
  icon_.setToolTip("Zelk");
  icon_.setIcon(IconFor(state_));
  menu_.addAction("Show &window", [this] { actions_.showWindow(); });
  checkAll_ = menu_.addAction("Check &all accounts", [this] { actions_.checkAll(); });
  stop_ = menu_.addAction("&Stop", [this] { actions_.stop(); });
  menu_.addAction("&New message...", [this] { actions_.newMessage(); });
  menu_.addSeparator();
  menu_.addAction("&Exit", [this] { actions_.exit(); });
  // The menu's states are worked out as it opens, from the network as it is then.
  QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] {
    const bool busy = actions_.conversationExists();
    checkAll_->setEnabled(!busy);
    stop_->setEnabled(busy);
  });
  icon_.setContextMenu(&menu_);
  QObject::connect(&icon_, &QSystemTrayIcon::activated, &menu_, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) PopUp();
  });
}

void TrayIcon::SetShown(bool shown) { icon_.setVisible(shown); }

void TrayIcon::SetState(ports::TrayState state) {
  if (state == state_) return;
  state_ = state;
  icon_.setIcon(IconFor(state));
}

void TrayIcon::PopUp() { menu_.popup(QCursor::pos()); }

}  // namespace zelk::gui
