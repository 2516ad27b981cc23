#pragma once
#include <string>

#include "config/settings.h"
#include "store/mailbox_table.h"

namespace zelk::ui {

// The files of the local folders: the address book, the Savebox and the Outbox. Writes all three
// and reports whether all of them were written.
[[nodiscard]] bool SaveLocalFiles(const std::string& homeDirectory, const config::Settings& settings,
                                  const store::MailBoxTable& table);

// What the program writes when it ends: the local folders' files, then the profile with every
// account's counters and mailbox file. Writes everything it can and reports whether all of it
// was written.
[[nodiscard]] bool SaveAllFiles(const std::string& homeDirectory, const config::Settings& settings,
                                const store::MailBoxTable& table);

// The Outbox's file, bodies included.
[[nodiscard]] bool SaveOutbox(const std::string& homeDirectory, const config::Settings& settings,
                              const store::MailBoxTable& table);

// What a conversation with `mailbox` changed, written as soon as it is over, so that a crash later
// in the run loses nothing fetched: the Outbox's file after sending, else the account's file
// with the profile's counters, which must agree or the next check would fetch the same mail again
// or skip some.
[[nodiscard]] bool SaveAfterConversation(const std::string& homeDirectory, const config::Settings& settings,
                                         const store::MailBoxTable& table, int mailbox);

}  // namespace zelk::ui
