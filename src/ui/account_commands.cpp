#include "ui/account_commands.h"

#include "ui/mailbox_selection.h"

namespace zelk::ui {

namespace {

void SaveProfileIfAutoSave(const ProgramState& state) {
  // A failed write loses nothing: the profile is written again when the program ends.
  if (state.settings.AutoSave == 1) (void)config::SaveSettings(state.home, state.settings, state.table, false);
}

bool IsAccount(const ProgramState& state, int index) {
  return index >= store::kFirstAccountIndex && index < static_cast<int>(state.table.boxes.size());
}

// The list must not point into a mailbox while it goes, nor the view ask about its rows.
void ForgetShownList(ProgramState& state, WindowPorts& ports) {
  ports.list.ResettingRows();
  state.list.box = nullptr;
  state.list.rows.clear();
  ports.list.RowsReset();
}

}  // namespace

bool AddAccount(ProgramState& state, WindowPorts& ports) {
  const int index = store::AddMailBox(state.table, ports.selector);
  SelectMailbox(state, index, ports);
  if (!ports.window.EditAccount(index)) {
    ForgetShownList(state, ports);
    store::DeleteMailBox(state.table, index, ports.selector);
    SelectMailbox(state, state.table.selected, ports);
    return false;
  }
  SelectMailbox(state, index, ports);
  SaveProfileIfAutoSave(state);
  return true;
}

bool EditAccount(ProgramState& state, int conversationMailbox, WindowPorts& ports) {
  const int index = state.table.selected;
  if (!IsAccount(state, index) || index == conversationMailbox || !ports.window.EditAccount(index)) return false;
  SelectMailbox(state, index, ports);
  SaveProfileIfAutoSave(state);
  return true;
}

int DeleteAccount(ProgramState& state, int conversationMailbox, WindowPorts& ports) {
  const int index = state.table.selected;
  if (!IsAccount(state, index) || index == conversationMailbox) return conversationMailbox;
  if (ports.dialogs.ShowMessage("Delete", "Delete account?", ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo, true) !=
      ports::Answer::kYes) {
    return conversationMailbox;
  }
  ForgetShownList(state, ports);
  store::DeleteMailBox(state.table, index, ports.selector);
  SelectMailbox(state, state.table.selected, ports);
  return index < conversationMailbox ? conversationMailbox - 1 : conversationMailbox;
}

bool InitialiseAccount(ProgramState& state, WindowPorts& ports) {
  const int index = state.table.selected;
  if (!IsAccount(state, index) || !ports.window.InitialiseAccount(index)) return false;
  state.table.boxes[static_cast<std::size_t>(index)]->LastMessageId.reset();
  return true;
}

}  // namespace zelk::ui
