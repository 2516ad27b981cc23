#pragma once
#include "platform/code_page.h"
#include "store/list_model.h"

namespace zelk::ui {

// The main window as the commands and the network work need it, beyond the ports every
// front-end has.
class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // The list now shows mailbox `index` from scratch: every row anew, then this selection; the
  // menu texts, the column titles, the command states, the counts and the title follow it.
  virtual void MailboxShown(int index, const store::ListFocus& focus) = 0;
  // The table's selection has become `mailbox` through the network work (the notice's Yes): the
  // selector selects it and the list shows it.
  virtual void ShowMailBox(int mailbox) = 0;
  // Status part 0 (and part 1 when idle) for the shown mailbox.
  virtual void ShowCounts() = 0;
  // The shown list's order after a check or update changed it (thread order or the sort keys).
  virtual void ResortList() = 0;
  // The account settings sheet on this account; true when the user confirmed it.
  virtual bool EditAccount(int mailbox) = 0;
  // The initialise dialog on this account, which sets its LastNo; true when confirmed.
  virtual bool InitialiseAccount(int mailbox) = 0;
  virtual void SetTitle(const platform::Text& title) = 0;
  virtual bool Visible() const = 0;
  virtual bool InFront() const = 0;
  // Shows the window (restored from the tray when hidden) and brings it to the front.
  virtual void ShowAndRaise() = 0;
  // The new-mail notice: centred, topmost, shown without activation unless `activate`. Its Yes
  // and No come back through NetworkCommands::NoticeAnswered.
  virtual void ShowNewMailNotice(bool activate) = 0;
  virtual void HideNewMailNotice() = 0;
};

// For where no window is on screen (a terminal, a test): never visible, nothing shown, and the
// dialogs count as cancelled.
class QuietWindow : public WindowPort {
 public:
  void MailboxShown(int, const store::ListFocus&) override {}
  void ShowMailBox(int) override {}
  void ShowCounts() override {}
  void ResortList() override {}
  bool EditAccount(int) override { return false; }
  bool InitialiseAccount(int) override { return false; }
  void SetTitle(const platform::Text&) override {}
  bool Visible() const override { return false; }
  bool InFront() const override { return false; }
  void ShowAndRaise() override {}
  void ShowNewMailNotice(bool) override {}
  void HideNewMailNotice() override {}
};

}  // namespace zelk::ui
