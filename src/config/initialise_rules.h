#pragma once
#include "platform/code_page.h"

// The "Initialise" dialog without the widgets: where the account's next check starts, and the
// account's figures it shows.
namespace zelk::config {

enum class InitialiseFrom { kNewMailOnly, kItemNumber };

// The account's LastNo after OK: -1 lists the server afresh; n starts at message n. A number
// below 1 counts as "New mail only".
int LastNoAfterInitialise(InitialiseFrom from, int itemNumber);

// "# of Mails:" in plain decimal; "Total Size:" below 1024 as "N bytes", otherwise the whole
// kilobytes as "N KB", with the digits grouped by ",".
platform::Text MailCountText(int mailCount);
platform::Text TotalSizeText(int mailSize);

}  // namespace zelk::config
