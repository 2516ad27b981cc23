#include "store/marks.h"

namespace zelk::store {

void MarkForDownload(MailItem& item, bool inOutbox, bool toggle) {
  const int mark = inOutbox ? kMarkSend : kMarkDownload;
  item.Mark = toggle && item.Mark == mark ? item.Status : mark;
}

void MarkForDelete(MailItem& item) { item.Mark = kMarkDelete; }

void CancelMark(MailItem& item) { item.Mark = item.Status; }

void MarkAsRead(MailItem& item, bool read) {
  if (item.Status < kStatusUnread || item.Status > 4) return;
  item.Status = read ? kStatusRead : kStatusUnread;
  if (item.Mark != kMarkDownload && item.Mark != kMarkDelete) item.Mark = item.Status;
}

void MarkShown(MailItem& item) { MarkAsRead(item, true); }

void MarkSendResult(MailItem& item, bool sent) { item.Status = item.Mark = sent ? kStatusSent : kStatusSendFailed; }

}  // namespace zelk::store
