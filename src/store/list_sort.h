#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mime/dates.h"
#include "store/mailbox.h"

namespace zelk::store {

// Sort keys of the message list. 1 to 4 sort by the column of that number minus one (subject,
// from/to, date, size); a negative key sorts by the same criterion descending.
inline constexpr int kSortBySubject = 1;
inline constexpr int kSortByFrom = 2;
inline constexpr int kSortByDate = 3;
inline constexpr int kSortBySize = 4;
inline constexpr int kSortByNo = 101;
inline constexpr int kSortByIcon = 102;
inline constexpr int kSortByThread = 103;

// What a comparison needs besides the two items.
struct SortContext {
  bool outbox = false;               // the second column and its sort use To instead of From
  mime::DatePictures datePictures;   // DateFormat and TimeFormat, to read dates back
  std::int32_t localOffset = 9 * 60; // minutes east of UTC; Outbox dates pass FormatDisplayDate
};

// Rank of an item's icon for key 102: unread whole mail first, header-only mail last; 0 for a
// mark that has no icon.
int IconRank(const MailItem& item);

// The list's comparison of two items by key: +1 when a sorts after b in that direction, else -1,
// equal items and unknown keys included (never 0); 0 only when an item is missing.
int Compare(const MailItem* a, const MailItem* b, int key, const SortContext& context);

// Orders rows (indexes into box.Items) by key, ascending or descending by its sign. Rows whose
// items compare equal keep their order. Each row's sort text (collation key, date key) is worked
// out once per call, not at every comparison. Rows naming no item go last.
void SortRows(std::vector<std::size_t>& rows, const MailBox& box, int key, const SortContext& context);

}  // namespace zelk::store
