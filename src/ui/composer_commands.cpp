#include "ui/composer_commands.h"

#include "codec/model_dependent.h"
#include "compose/outbox.h"
#include "ui/mailbox_selection.h"
#include "ui/save_all.h"

namespace zelk::ui {

std::optional<std::size_t> RefusedModelDependentChar(std::string_view text, const config::Settings& settings,
                                                     ports::DialogPort& dialogs) {
  const std::optional<std::size_t> found =
      codec::FindModelDependentChar(text, settings.HeadCharset, settings.BodyCharset);
  if (!found) return std::nullopt;
  const ports::Answer answer = dialogs.ShowMessage("Zelk", kModelDependentQuestion, ports::MessageIcon::kExclamation,
                                                   ports::MessageButtons::kYesNo, true);
  if (answer == ports::Answer::kYes) return std::nullopt;
  return found;
}

bool SaveToOutbox(ProgramState& state, WindowPorts& ports, const store::ItemRef& item, const SaveSteps& steps) {
  if (steps.editedText && !steps.silent) {
    if (const std::optional<std::size_t> refused =
            RefusedModelDependentChar(*steps.editedText, state.settings, ports.dialogs)) {
      if (steps.selectInBody) steps.selectInBody(*refused);
      return false;
    }
    if (item->Subject.value_or("").empty() && !(steps.property && steps.property())) return false;
  }
  store::MailBox& outbox = store::Outbox(state.table);
  const bool appended =
      compose::StoreInOutbox(item, steps.editedText, state.table, state.table.selected, state.settings);
  if (appended && state.table.selected == store::kOutboxIndex) {
    const int row = store::AppendRow(state.list, outbox.Items.size() - 1);
    if (row >= 0) ports.list.InsertRow(row);
    ports.window.ShowCounts();
  }
  if (steps.silent) return true;
  if (state.settings.SelectSendBox == 1 && state.table.selected != store::kOutboxIndex) {
    (void)SelectMailbox(state, store::kOutboxIndex, ports);
  }
  if (state.table.selected == store::kOutboxIndex) {
    const int row = store::RowOfItem(state.list, item.get());
    if (row >= 0) {
      ports.list.SelectRow(row, true);
      ports.list.ScrollToRow(row);
      ports.list.RedrawRow(row);
    }
    ports.window.ShowAndRaise();
  }
  return true;
}

bool ReleaseSavedItem(ProgramState& state, store::MailItem& item) {
  item.EditWindow = 0;
  item.EditProcess = 0;
  if (state.settings.AutoSave != 1) return true;
  return SaveOutbox(state.home, state.settings, state.table);
}

void RedrawOutboxRow(ProgramState& state, WindowPorts& ports, const store::MailItem& item) {
  if (state.table.selected != store::kOutboxIndex) return;
  const int row = store::RowOfItem(state.list, &item);
  if (row >= 0) ports.list.RedrawRow(row);
}

}  // namespace zelk::ui
