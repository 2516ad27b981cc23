#include "ui/window_rules.h"

#include <algorithm>
#include <string>

#include "store/mailbox_table.h"

namespace zelk::ui {

CommandStates CurrentCommandStates(const ProgramState& state, const NetworkCommands& network, bool rowSelected) {
  const store::MailBoxTable& table = state.table;
  CommandInputs inputs;
  inputs.selectedMailbox = table.selected;
  inputs.accountCount = static_cast<int>(table.boxes.size()) - store::kFirstAccountIndex;
  inputs.conversationMailbox = network.ConversationMailbox();
  inputs.idle = network.Idle();
  inputs.rowSelected = rowSelected;
  inputs.EnableLAN = state.settings.EnableLAN;
  if (table.selected >= store::kFirstAccountIndex && table.selected < static_cast<int>(table.boxes.size())) {
    inputs.selectedRasMode = table.boxes[static_cast<std::size_t>(table.selected)]->RasMode;
  }
  return EnabledCommands(inputs);
}

StatusCounts CountsFor(const ProgramState& state, bool networkIdle) {
  StatusCounts counts;
  const store::ListModel& list = state.list;
  counts.view = "View " + std::to_string(store::RowCount(list));
  if (list.kind != store::ListBoxKind::kAccount || list.box == nullptr) {
    if (networkIdle) counts.idle = platform::Text();
    return counts;
  }
  counts.view += "/ Server " + std::to_string(list.box->MailCnt);
  if (networkIdle) {
    int fresh = 0;
    int unread = 0;
    for (const store::ItemRef& item : list.box->Items) {
      if (!item) continue;
      fresh += item->New == 1 ? 1 : 0;
      unread += item->Status == store::kStatusUnread ? 1 : 0;
    }
    counts.idle = "New " + std::to_string(fresh) + ", Unread " + std::to_string(unread);
  }
  return counts;
}

OpenAction OpenActionFor(const ProgramState& state, int row, OpenBy by) {
  const store::MailItem* item = store::ItemOfRow(state.list, row);
  if (!item) return OpenAction::kNothing;
  switch (state.list.kind) {
    case store::ListBoxKind::kOutbox: return OpenAction::kComposer;
    case store::ListBoxKind::kSavebox: return OpenAction::kViewer;
    case store::ListBoxKind::kAccount: break;
  }
  if (item->Body) return OpenAction::kViewer;
  return by == OpenBy::kEnterKey ? OpenAction::kToggleDownloadMark : OpenAction::kBodyNotDownloaded;
}

int NextAccountWithUnreadMail(const ProgramState& state) {
  if (state.settings.MoveAllMailBox != 1) return -1;
  const store::MailBoxTable& table = state.table;
  const int count = static_cast<int>(table.boxes.size());
  const int after = std::max(table.selected + 1, store::kFirstAccountIndex);
  const int found = store::NextUnreadMailBox(table, after, count);
  if (found >= 0) return found;
  return store::NextUnreadMailBox(table, store::kFirstAccountIndex, std::max(table.selected, store::kFirstAccountIndex));
}

namespace {

void KeepOrderSettings(ProgramState& state) {
  state.settings.LvSortItem = state.list.settings.LvSortItem;
  state.settings.LvThreadView = state.list.settings.LvThreadView;
}

}  // namespace

void SortByColumn(ProgramState& state, int column) {
  store::ColumnClicked(state.list, column);
  KeepOrderSettings(state);
}

void SortByIcon(ProgramState& state) {
  store::SortByIcon(state.list);
  KeepOrderSettings(state);
}

void SetThreadMode(ProgramState& state, bool on) {
  store::SetThreadView(state.list, on);
  KeepOrderSettings(state);
}

}  // namespace zelk::ui
