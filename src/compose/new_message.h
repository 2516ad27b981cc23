#pragma once
#include "config/settings.h"
#include "store/mail_item.h"
#include "store/mailbox_table.h"

// The message a composer starts from, before and after its Property dialog.
namespace zelk::compose {

// A new message: empty, or a copy of the template a link or an address filled.
store::ItemRef NewMessage(const store::MailItem* from);

// A reply to `answered` shown in mailbox `shownMailbox`, addressed and titled; Mark, the
// quoting flag, is 1 when the answered message has a body to quote.
store::ItemRef NewReply(const store::MailItem& answered, int shownMailbox, bool replyToAll,
                        const store::MailBoxTable& table, const config::Settings& settings);

// After the Property dialog's OK: a message without a body gets "\r\n" and the account's
// signature; a reply gets its body (quoted when Mark is 1) and loses the flag.
void FinishStartingBody(store::MailItem& item, const store::MailItem* answered, const store::MailBoxTable& table,
                        const config::Settings& settings);

}  // namespace zelk::compose
