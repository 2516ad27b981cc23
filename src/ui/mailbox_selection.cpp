#include "ui/mailbox_selection.h"

namespace zelk::ui {

store::ListSettings ListSettingsFor(const config::Settings& settings, std::int32_t localOffset) {
  store::ListSettings list;
  list.LvAutoSort = settings.LvAutoSort;
  list.LvSortItem = settings.LvSortItem;
  list.LvThreadView = settings.LvThreadView;
  list.LvDefSelectPos = settings.LvDefSelectPos;
  list.datePictures = {settings.DateFormat, settings.TimeFormat};
  list.localOffset = localOffset;
  return list;
}

bool SelectMailbox(ProgramState& state, int index, WindowPorts& ports) {
  store::MailBoxTable& table = state.table;
  if (index < 0 || index >= static_cast<int>(table.boxes.size())) return false;
  store::MailBox& box = *table.boxes[static_cast<std::size_t>(index)];
  table.selected = index;
  box.UnreadMark = 0;
  ports.selector.EntryRenamed(index, store::NameOrUntitled(box));
  ports.selector.EntrySelected(index);
  ports.list.ResettingRows();
  const store::ListFocus focus = store::SelectMailBox(state.list, box, store::KindOfMailBox(index));
  ports.list.RowsReset();
  ports.window.MailboxShown(index, focus);
  return true;
}

bool SelectPreviousMailbox(ProgramState& state, WindowPorts& ports) {
  return SelectMailbox(state, state.table.selected - 1, ports);
}

bool SelectNextMailbox(ProgramState& state, WindowPorts& ports) {
  return SelectMailbox(state, state.table.selected + 1, ports);
}

MailMenuTexts MailMenuTextsFor(int mailbox, bool compactLayout) {
  if (mailbox == store::kOutboxIndex) {
    return compactLayout ? MailMenuTexts{"&Property", "&Mark for send", "Create cop&y"}
                         : MailMenuTexts{"&Property...", "&Mark for sending\tCtrl+D", "Create cop&y\tCtrl+C"};
  }
  return compactLayout ? MailMenuTexts{"&Reply", "&Mark for download", "Copy to &Savebox"}
                       : MailMenuTexts{"&Reply...", "&Mark for download\tCtrl+D", "Copy to &Savebox\tCtrl+C"};
}

}  // namespace zelk::ui
