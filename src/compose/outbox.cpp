#include "compose/outbox.h"

#include "compose/escape.h"
#include "compose/property_pages.h"
#include "compose/wrap.h"
#include "mime/data_lines.h"

namespace zelk::compose {

namespace {

// The table index of the account that sends the item; -1 when the table has none.
int SendingAccount(const store::MailItem& item, const store::MailBoxTable& table, int account) {
  const int count = static_cast<int>(table.boxes.size());
  const int named = store::FindMailBox(table, item.MailBoxName);
  if (named >= store::kFirstAccountIndex) return named;
  if (account >= store::kFirstAccountIndex && account < count) return account;
  return count > store::kFirstAccountIndex ? store::kFirstAccountIndex : -1;
}

}  // namespace

platform::Text StoredBody(std::string_view editedText, const config::Settings& settings) {
  return EscapeForSending(WrapText(mime::CanonicalText(editedText), settings.QuotationChar, settings.WordBreakSize,
                                   settings.QuotationBreak == 1, WrapCharactersOf(settings)));
}

bool StoreInOutbox(const store::ItemRef& item, const std::optional<platform::Text>& editedText,
                   store::MailBoxTable& table, int account, const config::Settings& settings) {
  if (editedText) item->Body = StoredBody(*editedText, settings);
  item->Size = item->Body ? std::to_string(platform::TextToLocal(*item->Body).size()) : "0";
  item->Multipart = item->Attach && !item->Attach->empty() ? 1 : 0;
  item->Download = 1;
  const int sender = SendingAccount(*item, table, account);
  if (sender >= 0) {
    const store::MailBox& box = *table.boxes[static_cast<std::size_t>(sender)];
    item->MailBoxName = box.Name;
    if (!item->From) item->From = SenderText(box);
  }
  store::MailBox& outbox = store::Outbox(table);
  if (store::Contains(outbox, item.get())) return false;
  store::Append(outbox, item);
  return true;
}

}  // namespace zelk::compose
