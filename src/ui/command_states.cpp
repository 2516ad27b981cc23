#include "ui/command_states.h"

#include "store/mailbox_table.h"

namespace zelk::ui {

CommandStates EnabledCommands(const CommandInputs& in) {
  const bool account = in.selectedMailbox >= store::kFirstAccountIndex;
  const bool savebox = in.selectedMailbox == store::kSaveboxIndex;
  const bool outbox = in.selectedMailbox == store::kOutboxIndex;
  const bool row = in.rowSelected;
  const bool lan = in.EnableLAN == 1;

  CommandStates states;
  const bool editable = account && in.selectedMailbox != in.conversationMailbox;
  states.Set(Command::kAccountEdit, editable);
  states.Set(Command::kAccountDelete, editable);
  states.Set(Command::kInitialise, account);
  const bool movable = in.idle && account && in.accountCount >= 2;
  states.Set(Command::kMoveUp, movable);
  states.Set(Command::kMoveDown, movable);
  states.Set(Command::kDialUpConnect, in.idle && !lan && account && in.selectedRasMode == 1);
  states.Set(Command::kDialUpDisconnect, !lan);
  states.Set(Command::kOpen, row);
  states.Set(Command::kReply, row);
  states.Set(Command::kCheck, in.idle && account);
  states.Set(Command::kCheckAll, in.idle);
  states.Set(Command::kUpdateAll, in.idle);
  states.Set(Command::kUpdate, in.idle && !savebox);
  states.Set(Command::kStop, !in.idle && !savebox);
  states.Set(Command::kMarkForDownload, row && !savebox);
  states.Set(Command::kCancelMark, row && !savebox);
  states.Set(Command::kCopyToSavebox, row && !savebox);
  states.Set(Command::kMarkForDelete, row && account);
  states.Set(Command::kMarkAsRead, row && !outbox);
  states.Set(Command::kMarkAsUnread, row && !outbox);
  states.Set(Command::kDeleteFromList, row);
  return states;
}

}  // namespace zelk::ui
