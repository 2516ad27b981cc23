#pragma once
#include <string>

#include "config/settings.h"
#include "store/list_model.h"
#include "store/mailbox_table.h"
#include "ui/ports.h"

namespace zelk::ui {

// What the main window's commands work on: the files' home, the settings, every mailbox and the
// list of the mailbox shown (the table's `selected` one).
struct ProgramState {
  std::string home;
  config::Settings settings;
  store::MailBoxTable table;
  store::ListModel list;
};

// The main window as the commands need it, beyond the ports every front-end has.
class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // The list now shows mailbox `index` from scratch: every row anew, then this selection; the
  // menu texts, the column titles, the command states, the counts and the title follow it.
  virtual void MailboxShown(int index, const store::ListFocus& focus) = 0;
  // The counts of the shown mailbox in the status bar.
  virtual void ShowCounts() = 0;
  // The account settings sheet on this account; true when the user confirmed it.
  virtual bool EditAccount(int mailbox) = 0;
  // The initialise dialog on this account, which sets its LastNo; true when confirmed.
  virtual bool InitialiseAccount(int mailbox) = 0;
};

struct WindowPorts {
  DialogPort& dialogs;
  ListViewPort& list;
  store::SelectorPort& selector;
  WindowPort& window;
};

}  // namespace zelk::ui
