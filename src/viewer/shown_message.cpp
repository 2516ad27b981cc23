#include "viewer/shown_message.h"

#include "mime/display_text.h"
#include "platform/utf8.h"
#include "store/marks.h"
#include "viewer/header_pane.h"

namespace zelk::viewer {

platform::Text ViewerTitle(const store::MailBox& shownMailbox, const store::MailItem& item) {
  platform::Text title = "Mail View - " + store::NameOrUntitled(shownMailbox);
  if (item.MailBoxName && !item.MailBoxName->empty()) {
    title += " (" + *item.MailBoxName + ")";
  } else if (item.No != 0) {
    title += " - [No." + std::to_string(item.No) + "]";
  }
  return platform::Text(platform::CutToUtf16Units(title, kTitleUnits));
}

platform::Text PaneText(std::string_view displayText) {
  const std::string_view cut = platform::CutToUtf16Units(displayText, kShownTextUnits);
  platform::Text out;
  out.reserve(cut.size());
  for (std::size_t i = 0; i < cut.size(); ++i) {
    if (cut[i] == '\r' && i + 1 < cut.size() && cut[i + 1] == '\n') continue;
    out += cut[i];
  }
  return out;
}

store::OptionalText ReaderAddress(const store::MailBoxTable& table, int mailbox, const store::MailItem& item) {
  const int account = mailbox >= store::kFirstAccountIndex ? mailbox
                      : mailbox == store::kSaveboxIndex    ? store::FindMailBox(table, item.MailBoxName)
                                                           : -1;
  if (account < store::kFirstAccountIndex || account >= static_cast<int>(table.boxes.size())) return std::nullopt;
  return table.boxes[static_cast<std::size_t>(account)]->MailAddress;
}

store::ItemRef ItemOfRow(const store::ListModel& list, int row) {
  const store::MailItem* item = store::ItemOfRow(list, row);
  if (item == nullptr) return nullptr;
  return list.box->Items[list.rows[static_cast<std::size_t>(row)]];
}

bool CanShow(const store::MailItem* item) { return item != nullptr && item->Body.has_value(); }

void ShowItem(ShownMessage& shown, ui::ProgramState& state, const store::ItemRef& item, bool source,
              ui::WindowPorts& ports) {
  const int mailbox = state.table.selected;
  store::MarkShown(*item);
  const int row = store::RowOfItem(state.list, item.get());
  if (row >= 0) ports.list.RedrawRow(row);
  ports.window.ShowCounts();

  shown.item = item;
  shown.mailbox = mailbox;
  shown.source = source;
  const store::MailBox& box = *state.table.boxes[static_cast<std::size_t>(mailbox)];
  shown.title = ViewerTitle(box, *item);
  shown.header = HeaderPaneText(*item, ReaderAddress(state.table, mailbox, *item), state.settings.ViewShowDate == 1);
  const mime::DisplayText text = mime::GetDisplayText(*item, source, shown.parts, state.settings.UndeclaredCharset);
  shown.partsBody = item->Body ? item->Body->data() : nullptr;
  shown.partsBodySize = item->Body ? item->Body->size() : 0;
  shown.pane = PaneText(text.text);
  shown.menu = AttachmentMenuFor(shown.parts, *item, source);
}

bool StillInViewedMailbox(const ShownMessage& shown, const store::MailBoxTable& table) {
  if (!shown.item || shown.mailbox < 0 || shown.mailbox >= static_cast<int>(table.boxes.size())) return false;
  return store::Contains(*table.boxes[static_cast<std::size_t>(shown.mailbox)], shown.item.get());
}

bool PartsStillValid(const ShownMessage& shown) {
  return shown.item && shown.item->Body && shown.item->Body->data() == shown.partsBody &&
         shown.item->Body->size() == shown.partsBodySize;
}

}  // namespace zelk::viewer
