#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/session.h"
#include "cli/terminal_ports.h"
#include "store/mailbox_table.h"
#include "ui/program_state.h"

// The main window's commands on a terminal: the session becomes the program's state, nothing is
// drawn, and the dialogs a command opens are answered by the command's options.
namespace zelk::cli {

class CommandWindow final : public ui::QuietWindow {
 public:
  explicit CommandWindow(Session&& session);

  ui::ProgramState state;
  TerminalPorts terminal;
  store::NoSelector selector;
  ui::WindowPorts ports{terminal, terminal, selector, *this};
  // What the account settings sheet and the initialise dialog do to the account; unset, the
  // dialog counts as cancelled.
  std::function<bool(store::MailBox&)> accountSheet;
  std::function<bool(store::MailBox&)> initialiseDialog;

  // Everything written as when the program ends; false (the failure printed) when a file was not.
  [[nodiscard]] bool SaveLikeAnExit();

  bool EditAccount(int mailbox) override;
  bool InitialiseAccount(int mailbox) override;
};

// ROW... as 1-based numbers; nullopt when a word is not a number.
std::optional<std::vector<int>> ParseRows(const std::vector<std::string>& words);
// The rows as list positions (0-based) once every one has been found in the list shown, so that
// a bad row changes nothing; nullopt (the failure printed) otherwise.
std::optional<std::vector<int>> CheckRows(const ui::ProgramState& state, const std::vector<int>& rows,
                                          const std::string& mailbox);

}  // namespace zelk::cli
