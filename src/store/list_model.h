#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mime/dates.h"
#include "store/list_sort.h"
#include "store/mailbox.h"

// The message list of the main window without its widget: which item each row shows, in which
// order, what each cell says and how each row is drawn. A view asks for texts and looks row by
// row when it draws; rows hold only indexes into the mailbox's items.
namespace zelk::store {

// The Outbox shows recipients; only accounts select their first unread row.
enum class ListBoxKind { kAccount, kSavebox, kOutbox };
ListBoxKind KindOfMailBox(int tableIndex);

// The settings the list reads, as plain values. Sorting commands change LvSortItem and
// LvThreadView here; the caller stores them back into the settings.
struct ListSettings {
  int LvAutoSort = 1;  // sort on showing: 0 never, 1 the Savebox only, 2 every mailbox
  int LvSortItem = kSortByDate;
  int LvThreadView = 0;
  int LvDefSelectPos = 1;             // without unread mail select 1: the last row, else the first
  mime::DatePictures datePictures;    // DateFormat and TimeFormat
  std::int32_t localOffset = 9 * 60;  // the local zone (mime::LocalZone) for Outbox dates
};

inline constexpr int kColumnCount = 4;  // subject, from/to, date, size
inline constexpr std::size_t kCellUnits = 254;
inline constexpr char kNoSubject[] = "(no subject)";

struct ListModel {
  MailBox* box = nullptr;
  ListBoxKind kind = ListBoxKind::kAccount;
  ListSettings settings;
  std::vector<std::size_t> rows;  // indexes into box->Items, in the order shown
  int sortKey = kSortByNo;        // what a second click on the same header turns round
};

// How a row is drawn, worked out from its item whenever it is drawn, so a changed mark or a
// finished download shows at the next redraw.
struct RowLook {
  int image = -1;           // the Mark, 0 to 7; -1 for a mark that has no picture
  bool newOverlay = false;  // found by the latest check
  bool clip = false;        // has attachments
  bool cut = false;         // greyed: only the header is here and nothing is marked for it
};

// The selection a change asks for. The view keeps its own selection and focus through a new
// order and scrolls to the focus; only these changes set them.
struct ListFocus {
  int row = -1;               // select and focus this row alone; -1 leaves the selection
  int visibleRow = -1;        // then scroll this row into view
  bool lastRowFirst = false;  // scroll the last row into view before that
};

// --- Filling and ordering ---

// A mailbox is shown: the sort key becomes 101 and the list is filled.
ListFocus SelectMailBox(ListModel& model, MailBox& box, ListBoxKind kind);
// One row per item in mailbox order, the automatic order (thread view, else LvAutoSort with
// LvSortItem), then the selection: an account's first unread row, else the last or first row as
// LvDefSelectPos says.
ListFocus FillList(ListModel& model);
// A row for an item appended to the mailbox shown; returns its row, or -1 when the index names
// no item.
int AppendRow(ListModel& model, std::size_t itemIndex);
// Orders the rows by a key without making it the current key.
void SortList(ListModel& model, int key);

// --- The commands that change the order ---

// A click on the header of column 0..3: thread view off; the same column again turns the order round.
void ColumnClicked(ListModel& model, int column);
// "Sort by icon": as a header click, with key 102.
void SortByIcon(ListModel& model);
// "Thread mode" on or off.
void SetThreadView(ListModel& model, bool on);
// A check or update ended and added rows: thread order again, or with LvAutoSort 2 the
// LvSortItem order with the first unread row selected.
ListFocus RowsAdded(ListModel& model);
// For front-ends without headers and menus: the clicks and commands that leave the list sorted
// by `key` (1 to 4 and 102, negative descending; 103 switches thread view on). False for a key
// no command gives, with nothing changed.
bool ApplySortKey(ListModel& model, int key);

// --- What the view asks ---

int RowCount(const ListModel& model);
const char* ColumnTitle(const ListModel& model, int column);
bool ColumnAlignsRight(int column);
// The text of a cell, at most 254 UTF-16 units; empty for a row or column that does not exist.
Text CellText(const ListModel& model, int row, int column);
RowLook LookOfRow(const ListModel& model, int row);

// --- Rows and items ---

// The item a row shows, or null.
MailItem* ItemOfRow(const ListModel& model, int row);
int RowOfItem(const ListModel& model, const MailItem* item);
int NextDeleteMarkedRow(const ListModel& model, int row);
int NextRowWithBody(const ListModel& model, int row);
// The last row before `row` (-1: before the end) whose item has a body.
int PrevRowWithBody(const ListModel& model, int row);
// The first row in [from, to) whose item is unread with its body here; from below 0 counts as 0.
int FirstUnreadRow(const ListModel& model, int from, int to);
// The row of the first new item in mailbox order.
int FirstNewRow(const ListModel& model);

}  // namespace zelk::store
