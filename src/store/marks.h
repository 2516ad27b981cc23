#pragma once
#include "store/mail_item.h"

// How the user's commands, the viewer and sending change an item's mark and status.
namespace zelk::store {

// Marked for download in an account, for sending in the Outbox. With toggle, an item that
// already carries that mark loses it.
void MarkForDownload(MailItem& item, bool inOutbox, bool toggle);
void MarkForDelete(MailItem& item);
void CancelMark(MailItem& item);
// Only items whose body is held (status 1 to 4); a download or delete mark stays.
void MarkAsRead(MailItem& item, bool read);
// Shown in the viewer or an external viewer: read, as MarkAsRead.
void MarkShown(MailItem& item);
// After sending: sent or failed.
void MarkSendResult(MailItem& item, bool sent);

}  // namespace zelk::store
