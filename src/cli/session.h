#pragma once
#include <optional>
#include <string>

#include "config/settings.h"
#include "mime/dates.h"
#include "platform/clock.h"
#include "store/list_model.h"
#include "store/mailbox_table.h"

namespace zelk::cli {

// Everything the program loads at start: the profile with its accounts, each account's mailbox
// file, the local folders and the address book.
struct Session {
  std::string home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::SystemClock clock;
  mime::LocalZone zone;
};

// The session of the home directory. On failure, the error text is put in `error`.
std::optional<Session> OpenSession(const std::optional<std::string>& homeOption, std::string& error);

// The message list's settings, as the list shows this session's mailboxes.
store::ListSettings ListSettingsOf(Session& session);

}  // namespace zelk::cli
