#pragma once
#include <optional>
#include <string_view>

#include "config/settings.h"
#include "store/mail_item.h"
#include "store/mailbox_table.h"

// Storing a composed message in the Outbox, without a window: what the composer's save does
// after its questions, and what a front-end without one does instead.
namespace zelk::compose {

// The edited text as a stored body: line ends made CR LF (an editor may give LF alone), wrapped
// with the QuotationChar, WordBreakSize and QuotationBreak settings, escaped for sending.
platform::Text StoredBody(std::string_view editedText, const config::Settings& settings);

// Stores the item in the Outbox. With an edited text the body becomes StoredBody of it; without
// one the body stays as it is (it came back from an external editor already stored). Size becomes
// the body's byte count in the local code page, Multipart follows Attach, Download is 1. An item
// that names no account takes the account at `account` (-1 or a folder: the first account) as
// the sender: its Name as MailBoxName and, when the item has no From yet, its UserName and
// MailAddress as "UserName <MailAddress>" (the address alone without a name, empty without an
// address). True when the item was appended now, false when it already was in the Outbox.
bool StoreInOutbox(const store::ItemRef& item, const std::optional<platform::Text>& editedText,
                   store::MailBoxTable& table, int account, const config::Settings& settings);

}  // namespace zelk::compose
