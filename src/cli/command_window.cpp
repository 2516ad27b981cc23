#include "cli/command_window.h"

#include <utility>

#include "cli/commands.h"
#include "platform/decimal.h"
#include "ui/save_all.h"

namespace zelk::cli {

CommandWindow::CommandWindow(Session&& session) {
  state.list.settings = ListSettingsOf(session);
  state.home = std::move(session.home);
  state.settings = std::move(session.settings);
  state.table = std::move(session.table);
}

bool CommandWindow::SaveLikeAnExit() {
  if (ui::SaveAllFiles(state.home, state.settings, state.table)) return true;
  Fail("Save File error");
  return false;
}

bool CommandWindow::EditAccount(int mailbox) {
  return accountSheet && accountSheet(*state.table.boxes[static_cast<std::size_t>(mailbox)]);
}

bool CommandWindow::InitialiseAccount(int mailbox) {
  return initialiseDialog && initialiseDialog(*state.table.boxes[static_cast<std::size_t>(mailbox)]);
}

std::optional<std::vector<int>> ParseRows(const std::vector<std::string>& words) {
  std::vector<int> rows;
  for (const std::string& word : words) {
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    rows.push_back(platform::ReadDecimal(word));
  }
  return rows;
}

std::optional<std::vector<int>> CheckRows(const ui::ProgramState& state, const std::vector<int>& rows,
                                          const std::string& mailbox) {
  std::vector<int> positions;
  for (const int row : rows) {
    if (row < 1 || store::ItemOfRow(state.list, row - 1) == nullptr) {
      Fail("No row " + std::to_string(row) + " in " + mailbox);
      return std::nullopt;
    }
    positions.push_back(row - 1);
  }
  return positions;
}

}  // namespace zelk::cli
