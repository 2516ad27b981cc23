// What the user is told when a command's work is done: "No new mail!", or the tray icon, the
// selector's " *" markers, the window title, the sound and the new-mail notice.
#include "ui/network_commands.h"

namespace zelk::ui {

namespace {

int FirstAccountWithNewMail(const store::MailBoxTable& table) {
  for (int i = store::kFirstAccountIndex; i < static_cast<int>(table.boxes.size()); ++i) {
    if (table.boxes[static_cast<std::size_t>(i)]->NewMail == 1) return i;
  }
  return -1;
}

int FirstNewItem(const store::MailBox& box) {
  for (std::size_t i = 0; i < box.Items.size(); ++i) {
    if (box.Items[i] && box.Items[i]->New == 1) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

void NetworkCommands::NotifyNewMail(int count) {
  net::RunFlags& flags = conversation_.flags;
  if (count < 0) return;
  if (count == 0) {
    if (flags.messageBoxShowing || settings_.ShowNoMailMessage != 1 || noticeShowing_ || flags.autoCheck) return;
    flags.messageBoxShowing = true;
    parts_.dialogs.ShowMessage("Zelk", platform::Text(kNoNewMail), ports::MessageIcon::kInformation,
                               ports::MessageButtons::kOk);
    flags.messageBoxShowing = false;
    return;
  }
  if (!parts_.window.Visible() || !parts_.window.InFront()) {
    parts_.shell.SetTrayState(ports::TrayState::kNewMail);
    flags.newMailIconShowing = true;
  }
  MarkUnreadAccounts();
  ShowTitle();
  if (settings_.NewMailSound == 1) parts_.shell.PlaySound(settings_.NewMailSoundFile);
  if (!NoticeWanted()) return;
  noticeAccount_ = FirstAccountWithNewMail(table_);
  noticeShowing_ = true;
  parts_.window.ShowNewMailNotice(settings_.ActiveNewMailMessage == 1);
}

void NetworkCommands::MarkUnreadAccounts() {
  // Checks that fetch no text at all cannot tell unread from read: new mail is unread mail.
  const bool noText = settings_.ListGetLine < 1 && settings_.ShowHeader == 0 && settings_.ListDownload == 0;
  for (int i = store::kFirstAccountIndex; i < BoxCount(); ++i) {
    store::MailBox& box = Box(i);
    if (i == table_.selected || box.NewMail != 1 || !(noText || store::HasUnread(box, false))) continue;
    box.UnreadMark = 1;
    const platform::Text name = store::NameOrUntitled(box);
    parts_.selector.EntryRenamed(i, name + " *");
  }
}

void NetworkCommands::ShowTitle() {
  int marked = 0;
  for (int i = store::kFirstAccountIndex; i < BoxCount(); ++i) marked += Box(i).UnreadMark == 1 ? 1 : 0;
  parts_.window.SetTitle(marked == 0 ? platform::Text("Zelk")
                                     : "Zelk - [Accounts with Unread mail: " + std::to_string(marked) + "]");
}

bool NetworkCommands::NoticeWanted() const {
  if (conversation_.flags.messageBoxShowing || settings_.ShowNewMailMessage != 1 || noticeShowing_) return false;
  // The user is already looking at the new mail.
  const bool looking = !conversation_.flags.autoCheck && parts_.window.InFront() &&
                       table_.selected == FirstAccountWithNewMail(table_);
  return !looking;
}

void NetworkCommands::NoticeAnswered(bool yes) {
  if (!noticeShowing_) return;
  if (yes) {
    parts_.window.ShowAndRaise();
    // The account may have gone while the notice was up.
    if (noticeAccount_ >= store::kFirstAccountIndex && noticeAccount_ < BoxCount()) {
      ShowItem(noticeAccount_, FirstNewItem(Box(noticeAccount_)));
    }
  }
  parts_.window.HideNewMailNotice();
  noticeShowing_ = false;
}

}  // namespace zelk::ui
