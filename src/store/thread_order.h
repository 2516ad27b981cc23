#pragma once
#include "store/mailbox.h"

namespace zelk::store {

// Orders a mailbox's items for the thread view and returns how many items were put in order.
// A reply's parent is the nearest earlier item whose MessageId equals its InReplyTo, else its
// References (FindByMessageId's meaning); a reply stands after its parent and after the parent's
// earlier replies with all their descendants, and an item without an earlier parent starts a
// thread of its own. Each item gets ThreadDepth (0 for a thread root), ThreadOrder (its position)
// and ThreadNext (index of the next item in thread order, 0 after the last).
// Item 0's ThreadNext doubles as the "still up to date" mark: while it is non-zero nothing is
// recomputed and the item count is returned. Append, AppendCopy and Compact clear it.
int BuildThreadOrder(MailBox& box);

}  // namespace zelk::store
