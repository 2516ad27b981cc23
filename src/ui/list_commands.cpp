#include "ui/list_commands.h"

#include <algorithm>
#include <new>
#include <vector>

#include "store/mailbox_file.h"
#include "store/marks.h"

namespace zelk::ui {

namespace {

using store::ListBoxKind;

// The rows that show an item, each once, top to bottom.
std::vector<int> ValidRows(const store::ListModel& list, std::span<const int> rows) {
  std::vector<int> valid;
  for (const int row : rows) {
    if (store::ItemOfRow(list, row) != nullptr) valid.push_back(row);
  }
  std::sort(valid.begin(), valid.end());
  valid.erase(std::unique(valid.begin(), valid.end()), valid.end());
  return valid;
}

template <typename Change>
void ChangeRows(ProgramState& state, std::span<const int> rows, WindowPorts& ports, Change change) {
  for (const int row : ValidRows(state.list, rows)) {
    change(*store::ItemOfRow(state.list, row));
    ports.list.RedrawRow(row);
  }
}

// Only a message fetched whole holds more than what a header-only copy brings.
bool HoldsWholeText(const store::MailItem& item) { return item.Download == 1; }

bool Ask(WindowPorts& ports, const char* title, const platform::Text& text, bool defaultNo = false) {
  return ports.dialogs.ShowMessage(title, text, ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo, defaultNo) ==
         ports::Answer::kYes;
}

void ShowError(WindowPorts& ports, const char* text) {
  ports.dialogs.ShowMessage("Error", text, ports::MessageIcon::kError, ports::MessageButtons::kOk);
}

bool CopyToSavebox(ProgramState& state, const std::vector<int>& rows, WindowPorts& ports) {
  if (state.settings.SaveMsg == 1 &&
      !Ask(ports, "Copy", "Copy " + std::to_string(rows.size()) + " mail to the Savebox?")) {
    return false;
  }
  store::MailBox& savebox = store::Savebox(state.table);
  const store::OptionalText& sourceName = state.list.box->Name;
  bool copied = false;
  try {
    for (const int row : rows) {
      const store::MailItem& item = *store::ItemOfRow(state.list, row);
      const int existing = store::FindByMessageId(savebox, item.MessageId, static_cast<int>(savebox.Items.size()));
      if (existing >= 0 && HoldsWholeText(*savebox.Items[static_cast<std::size_t>(existing)]) &&
          !HoldsWholeText(item) &&
          !Ask(ports, "Copy", "The Savebox holds the whole message. Replace it with the header only?", true)) {
        continue;
      }
      store::AppendCopy(savebox, item, sourceName, false);
      if (existing >= 0) {
        // The copy takes the place of the one it replaces.
        savebox.Items[static_cast<std::size_t>(existing)] = std::move(savebox.Items.back());
        savebox.Items.pop_back();
        store::InvalidateThreadOrder(savebox);
      }
      copied = true;
    }
  } catch (const std::bad_alloc&) {
    ShowError(ports, "Copy to Savebox failed");
  }
  if (copied && state.settings.AutoSave == 1) {
    // A failed write loses nothing: the Savebox is written again when the program ends.
    (void)store::SaveMailBox(config::DataDirectoryPath(state.settings, state.home) + store::kSaveboxFile, savebox,
                             store::kSaveWithBodies);
  }
  return copied;
}

bool CreateCopiesInOutbox(ProgramState& state, const std::vector<int>& rows, WindowPorts& ports) {
  store::MailBox& outbox = *state.list.box;
  int first = -1;
  try {
    for (const int row : rows) {
      // The copy keeps the account it is to be sent from; the Outbox's own name would make the
      // Outbox its sender.
      store::AppendCopy(outbox, *store::ItemOfRow(state.list, row), std::nullopt, true);
      const int added = store::AppendRow(state.list, outbox.Items.size() - 1);
      ports.list.InsertRow(added);
      if (first < 0) first = added;
    }
  } catch (const std::bad_alloc&) {
    ShowError(ports, "Copy failed");
  }
  if (first < 0) return false;
  ports.list.SelectRow(first, true);
  ports.list.ScrollToRow(first);
  ports.window.ShowCounts();
  return true;
}

}  // namespace

void MarkRowsForDownload(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  if (state.list.kind == ListBoxKind::kSavebox) return;
  const bool outbox = state.list.kind == ListBoxKind::kOutbox;
  ChangeRows(state, rows, ports, [outbox](store::MailItem& item) { store::MarkForDownload(item, outbox, false); });
}

void ToggleDownloadMark(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  if (state.list.kind == ListBoxKind::kSavebox) return;
  const bool outbox = state.list.kind == ListBoxKind::kOutbox;
  ChangeRows(state, rows, ports, [outbox](store::MailItem& item) { store::MarkForDownload(item, outbox, true); });
}

void MarkRowsForDelete(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  if (state.list.kind != ListBoxKind::kAccount) return;
  ChangeRows(state, rows, ports, [](store::MailItem& item) { store::MarkForDelete(item); });
}

void CancelMarks(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  ChangeRows(state, rows, ports, [](store::MailItem& item) { store::CancelMark(item); });
}

void MarkRowsAsRead(ProgramState& state, std::span<const int> rows, bool read, WindowPorts& ports) {
  ChangeRows(state, rows, ports, [read](store::MailItem& item) { store::MarkAsRead(item, read); });
  ports.window.ShowCounts();
}

bool CopyRows(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  const std::vector<int> valid = ValidRows(state.list, rows);
  if (valid.empty()) return false;
  switch (state.list.kind) {
    case ListBoxKind::kAccount: return CopyToSavebox(state, valid, ports);
    case ListBoxKind::kOutbox: return CreateCopiesInOutbox(state, valid, ports);
    case ListBoxKind::kSavebox: return false;
  }
  return false;
}

bool DeleteFromList(ProgramState& state, std::span<const int> rows, WindowPorts& ports) {
  const std::vector<int> valid = ValidRows(state.list, rows);
  if (valid.empty()) return false;
  const char* serverNote = state.list.kind == ListBoxKind::kAccount ? "\n(Is not deleted from the server)" : "";
  if (!Ask(ports, "Delete", "Delete " + std::to_string(valid.size()) + " mail from the list?" + serverNote)) {
    return false;
  }
  store::ListModel& list = state.list;
  std::vector<store::ItemRef>& items = list.box->Items;
  // Bottom up, so each row number still means what it meant before; each item is freed only
  // once the view has been told its row goes.
  for (auto row = valid.rbegin(); row != valid.rend(); ++row) {
    ports.list.RemovingRow(*row);
    const auto at = list.rows.begin() + *row;
    store::FreeItems(std::span(&items[*at], 1));
    list.rows.erase(at);
    ports.list.RowRemoved(*row);
  }

  // The rows left keep their order and follow their items to where Compact moves them.
  std::vector<std::size_t> newIndex(items.size());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    newIndex[i] = kept;
    if (items[i]) ++kept;
  }
  for (std::size_t& index : list.rows) index = newIndex[index];
  store::Compact(*list.box);
  ports.window.ShowCounts();
  return true;
}

}  // namespace zelk::ui
