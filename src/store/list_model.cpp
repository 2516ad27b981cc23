#include "store/list_model.h"

#include <algorithm>
#include <string_view>

#include "platform/utf8.h"
#include "store/mailbox_table.h"
#include "store/thread_order.h"

namespace zelk::store {

namespace {

// The buffer a cell text is written into: 254 units and the terminator. The thread indentation
// stays within it (at most 63 levels), so even the deepest reply keeps its "+" marker.
constexpr std::size_t kCellBuffer = kCellUnits + 1;
constexpr int kMaxIndentLevel = static_cast<int>((kCellBuffer - 1) / 4);
constexpr int kMarkPictures = 8;  // images 0..7; 8 is the "new" overlay

SortContext ContextOf(const ListModel& model) {
  return SortContext{model.kind == ListBoxKind::kOutbox, model.settings.datePictures, model.settings.localOffset};
}

int Count(const ListModel& model) { return static_cast<int>(model.rows.size()); }

bool HasBody(const MailItem& item) { return item.Body && !item.Body->empty(); }

// The first row in [from, to) whose item matches, or with `backwards` the last one.
template <typename Matches>
int FindRow(const ListModel& model, int from, int to, bool backwards, Matches matches) {
  from = std::max(from, 0);
  to = std::min(to, Count(model));
  for (int i = from; i < to; ++i) {
    const int row = backwards ? to - 1 - (i - from) : i;
    const MailItem* item = ItemOfRow(model, row);
    if (item != nullptr && matches(*item)) return row;
  }
  return -1;
}

Text Cut(std::string_view text) { return Text(platform::CutToUtf16Units(text, kCellUnits)); }

std::string_view SubjectOf(const MailItem& item) {
  return item.Subject && !item.Subject->empty() ? std::string_view(*item.Subject) : std::string_view(kNoSubject);
}

// Depth 1 gives "  + ", each further level four more columns (depth 2: seven, depth 3: eleven).
Text Indented(const MailItem& item) {
  const int depth = std::min(item.ThreadDepth, kMaxIndentLevel);
  if (depth <= 0) return Cut(SubjectOf(item));
  Text text(depth >= 2 ? static_cast<std::size_t>(4 * depth - 5) : 0, ' ');
  text += "  + ";
  text += SubjectOf(item);
  return Cut(text);
}

void SortInThreads(ListModel& model) {
  BuildThreadOrder(*model.box);
  SortList(model, kSortByThread);
}

// A header click or the icon command: key `criterion`, or the same turned round.
void SortByCommand(ListModel& model, int criterion) {
  model.settings.LvThreadView = 0;
  model.sortKey = model.sortKey == criterion || model.sortKey == -criterion ? -model.sortKey : criterion;
  SortList(model, model.sortKey);
  // An account keeps its automatic order unless every mailbox sorts itself.
  if (model.kind == ListBoxKind::kSavebox || model.settings.LvAutoSort == 2) model.settings.LvSortItem = model.sortKey;
}

}  // namespace

ListBoxKind KindOfMailBox(int tableIndex) {
  if (tableIndex == kSaveboxIndex) return ListBoxKind::kSavebox;
  if (tableIndex == kOutboxIndex) return ListBoxKind::kOutbox;
  return ListBoxKind::kAccount;
}

ListFocus SelectMailBox(ListModel& model, MailBox& box, ListBoxKind kind) {
  model.box = &box;
  model.kind = kind;
  model.sortKey = kSortByNo;
  return FillList(model);
}

ListFocus FillList(ListModel& model) {
  model.rows.clear();
  if (model.box == nullptr) return {};
  const std::vector<ItemRef>& items = model.box->Items;
  model.rows.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i]) model.rows.push_back(i);
  }

  const ListSettings& settings = model.settings;
  if (settings.LvThreadView == 1) {
    SortInThreads(model);
  } else if ((settings.LvAutoSort == 1 && model.kind == ListBoxKind::kSavebox) || settings.LvAutoSort == 2) {
    SortList(model, settings.LvSortItem);
  }

  if (model.rows.empty()) return {};
  const int last = Count(model) - 1;
  ListFocus focus;
  focus.lastRowFirst = true;
  const int unread = model.kind == ListBoxKind::kAccount ? FirstUnreadRow(model, 0, Count(model)) : -1;
  if (unread >= 0) {
    // The row above stays in view too, so the user sees where the unread mail begins.
    focus.row = unread;
    focus.visibleRow = unread > 0 ? unread - 1 : unread;
  } else {
    focus.row = settings.LvDefSelectPos == 1 ? last : 0;
    focus.visibleRow = focus.row;
  }
  return focus;
}

int AppendRow(ListModel& model, std::size_t itemIndex) {
  if (model.box == nullptr || itemIndex >= model.box->Items.size() || !model.box->Items[itemIndex]) return -1;
  model.rows.push_back(itemIndex);
  return Count(model) - 1;
}

void SortList(ListModel& model, int key) {
  if (model.box != nullptr) SortRows(model.rows, *model.box, key, ContextOf(model));
}

void ColumnClicked(ListModel& model, int column) {
  if (column < 0 || column >= kColumnCount) return;
  SortByCommand(model, column + 1);
}

void SortByIcon(ListModel& model) { SortByCommand(model, kSortByIcon); }

void SetThreadView(ListModel& model, bool on) {
  model.settings.LvThreadView = on ? 1 : 0;
  if (model.box == nullptr) return;
  if (on) {
    SortInThreads(model);
  } else {
    SortList(model, model.sortKey);
  }
}

ListFocus RowsAdded(ListModel& model) {
  if (model.box == nullptr) return {};
  if (model.settings.LvThreadView == 1) {
    SortInThreads(model);
    return {};
  }
  if (model.settings.LvAutoSort != 2) return {};
  SortList(model, model.settings.LvSortItem);
  const int unread = FirstUnreadRow(model, 0, Count(model));
  if (unread < 0) return {};
  return ListFocus{unread, unread, false};
}

bool ApplySortKey(ListModel& model, int key) {
  if (key == kSortByThread) {
    SetThreadView(model, true);
    return true;
  }
  const int criterion = key == kSortByIcon || key == -kSortByIcon ? kSortByIcon
                        : key >= 1 && key <= kColumnCount          ? key
                        : key <= -1 && key >= -kColumnCount        ? -key
                                                                   : 0;
  if (criterion == 0) return false;
  const auto command = [criterion](ListModel& m) {
    if (criterion == kSortByIcon) {
      SortByIcon(m);
    } else {
      ColumnClicked(m, criterion - 1);
    }
  };
  command(model);
  // A second click turns the order round when the first one left it the other way.
  if (model.sortKey != key) command(model);
  return true;
}

int RowCount(const ListModel& model) { return Count(model); }

const char* ColumnTitle(const ListModel& model, int column) {
  switch (column) {
    case 0: return "Subject";
    case 1: return model.kind == ListBoxKind::kOutbox ? "To" : "From";
    case 2: return "Date";
    case 3: return "Size";
    default: return "";
  }
}

bool ColumnAlignsRight(int column) { return column == 3; }

Text CellText(const ListModel& model, int row, int column) {
  const MailItem* item = ItemOfRow(model, row);
  if (item == nullptr) return {};
  const auto cut = [](const OptionalText& text) { return text ? Cut(*text) : Text(); };
  switch (column) {
    case 0: return model.settings.LvThreadView == 1 ? Indented(*item) : Cut(SubjectOf(*item));
    case 1: return cut(model.kind == ListBoxKind::kOutbox ? item->To : item->From);
    case 2: return cut(item->Date);
    case 3: return cut(item->Size);
    default: return {};
  }
}

RowLook LookOfRow(const ListModel& model, int row) {
  const MailItem* item = ItemOfRow(model, row);
  if (item == nullptr) return {};
  RowLook look;
  look.image = item->Mark >= 0 && item->Mark < kMarkPictures ? item->Mark : -1;
  look.newOverlay = item->New == 1;
  look.clip = item->Multipart == 1;
  look.cut = item->Download != 1 && item->Mark != kMarkDownload && item->Mark != kMarkDelete &&
             model.kind != ListBoxKind::kOutbox;
  return look;
}

MailItem* ItemOfRow(const ListModel& model, int row) {
  if (model.box == nullptr || row < 0 || row >= Count(model)) return nullptr;
  const std::size_t index = model.rows[static_cast<std::size_t>(row)];
  // Rows outlive nothing: an index past the items (the list was not refilled after a removal) names no item.
  return index < model.box->Items.size() ? model.box->Items[index].get() : nullptr;
}

int RowOfItem(const ListModel& model, const MailItem* item) {
  if (item == nullptr) return -1;
  return FindRow(model, 0, Count(model), false, [item](const MailItem& candidate) { return &candidate == item; });
}

int NextDeleteMarkedRow(const ListModel& model, int row) {
  if (row >= Count(model)) return -1;
  return FindRow(model, row + 1, Count(model), false, [](const MailItem& item) { return item.Mark == kMarkDelete; });
}

int NextRowWithBody(const ListModel& model, int row) {
  if (row >= Count(model)) return -1;
  return FindRow(model, row + 1, Count(model), false, HasBody);
}

int PrevRowWithBody(const ListModel& model, int row) {
  return FindRow(model, 0, row < 0 ? Count(model) : row, true, HasBody);
}

int FirstUnreadRow(const ListModel& model, int from, int to) {
  return FindRow(model, from, to, false,
                 [](const MailItem& item) { return HasBody(item) && item.Status == kStatusUnread; });
}

int FirstNewRow(const ListModel& model) {
  if (model.box == nullptr) return -1;
  for (const ItemRef& item : model.box->Items) {
    if (item && item->New == 1) return RowOfItem(model, item.get());
  }
  return -1;
}

}  // namespace zelk::store
