#pragma once
#include "platform/code_page.h"
#include "store/mail_item.h"

namespace zelk::viewer {

// The viewer's header pane: "From: ..." and "Subject: ..." with a group of bare addresses for To,
// Cc and Bcc, then "Date: ..." when the date is shown; lines joined with CR LF. The To group is
// left out when it holds only the account's own address (accountAddress, when known).
platform::Text HeaderPaneText(const store::MailItem& item, const store::OptionalText& accountAddress, bool showDate);

}  // namespace zelk::viewer
