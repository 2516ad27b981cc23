#pragma once
#include <string>

#include "config/settings.h"
#include "store/mailbox_table.h"

namespace zelk::ui {

// What the program writes when it ends: the address book, the Savebox and the Outbox, then the
// profile with every account's counters and mailbox file. Writes everything it can and reports
// whether all of it was written.
[[nodiscard]] bool SaveAllFiles(const std::string& homeDirectory, const config::Settings& settings,
                                const store::MailBoxTable& table);

}  // namespace zelk::ui
