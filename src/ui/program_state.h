#pragma once
#include <string>

#include "config/settings.h"
#include "store/list_model.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"
#include "ui/window_port.h"

namespace zelk::ui {

// What the main window's commands work on: the files' home, the settings, every mailbox and the
// list of the mailbox shown (the table's `selected` one).
struct ProgramState {
  std::string home;
  config::Settings settings;
  store::MailBoxTable table;
  store::ListModel list;
};

struct WindowPorts {
  ports::DialogPort& dialogs;
  ports::ListViewPort& list;
  store::SelectorPort& selector;
  WindowPort& window;
};

}  // namespace zelk::ui
