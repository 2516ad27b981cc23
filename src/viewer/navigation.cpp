#include "viewer/navigation.h"

#include <algorithm>

#include "ui/mailbox_selection.h"

namespace zelk::viewer {

namespace {

int AccountWithUnread(const store::MailBoxTable& table) {
  const int count = static_cast<int>(table.boxes.size());
  const int after = store::NextUnreadMailBox(table, std::max(table.selected + 1, store::kFirstAccountIndex), count);
  if (after >= 0) return after;
  return store::NextUnreadMailBox(table, store::kFirstAccountIndex, table.selected);
}

}  // namespace

MoveTarget FindMoveTarget(ui::ProgramState& state, int currentRow, Move move, ui::WindowPorts& ports) {
  MoveTarget target;
  if (state.table.selected == store::kOutboxIndex) return target;
  const int count = store::RowCount(state.list);
  switch (move) {
    case Move::kPrevious:
      if (currentRow > 0) target.row = store::PrevRowWithBody(state.list, currentRow);
      return target;
    case Move::kNext: target.row = store::NextRowWithBody(state.list, currentRow); return target;
    case Move::kNextUnread: break;
  }
  target.row = store::FirstUnreadRow(state.list, currentRow + 1, count);
  if (target.row < 0 && currentRow > 0) target.row = store::FirstUnreadRow(state.list, 0, currentRow);
  if (target.row >= 0 || state.settings.MoveAllMailBox != 1) return target;
  const int account = AccountWithUnread(state.table);
  if (account < 0 || !ui::SelectMailbox(state, account, ports)) return target;
  target.switchedMailbox = true;
  target.row = store::FirstUnreadRow(state.list, 0, store::RowCount(state.list));
  return target;
}

}  // namespace zelk::viewer
