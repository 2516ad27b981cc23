#include "demo_home.h"

#include <filesystem>
#include <memory>

#include "compose/outbox.h"
#include "config/settings.h"
#include "store/mailbox_table.h"
#include "ui/save_all.h"

namespace zelk::demo {

namespace {

// Lines shorter than WordBreakSize, so that storing does not wrap them.
constexpr char kOutboxText[] =
    "This message waits in the Outbox of the demo account.\r\n"
    "\r\n"
    "Mark it for sending and send it: the demo's own SMTP server takes\r\n"
    "it after logging in with the account's password, and delivers it\r\n"
    "into the very mailbox this account checks, so the next check\r\n"
    "brings it back.\r\n";

void FillAccount(store::MailBox& box, const DemoAccount& account) {
  box.Name = "Demo";
  box.Server = "127.0.0.1";
  box.Port = account.pop3Port;
  box.User = account.user;
  box.Pass = account.password;
  box.UserName = "Demo User";
  box.MailAddress = account.address;
  // Without a server the account names none, so sending stops at once with "Server name not
  // set" instead of reaching whatever listens on a default port of this machine.
  if (account.smtpPort) {
    box.SmtpServer = "127.0.0.1";
    box.SmtpPort = *account.smtpPort;
  } else {
    box.SmtpServer = "";
  }
  box.SmtpAuth = 1;  // as the POP3 user (AuthUserPass 0), checked by the demo's Dovecot
  // Rules to show on the settings' filter page; no demo message matches them.
  box.FilterEnable = 1;
  box.Filters = {{1, 0, "Subject:", "*[ads]*", "", ""}, {0, 3, "From:", "*@spam.example", "Subject:", "*offer*"}};
}

}  // namespace

bool WriteDemoHome(const std::string& home, const DemoAccount& account, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code failed;
  fs::create_directories(home, failed);
  if (failed) {
    error = "Cannot make " + home + ": " + failed.message();
    return false;
  }
  const std::string folder = home.ends_with('/') ? home : home + "/";
  if (fs::exists(folder + "Zelk.ini")) {
    error = folder + " holds a profile already: the demo needs a new folder";
    return false;
  }

  config::Settings settings;
  store::MailBoxTable table;
  store::Init(table);
  store::NoSelector selector;
  const int index = store::AddMailBox(table, selector);
  FillAccount(*table.boxes[static_cast<std::size_t>(index)], account);

  auto message = std::make_shared<store::MailItem>();
  message->Download = 1;
  message->To = "Demo User <" + account.address + ">";
  message->Subject = "Sent through the demo's Postfix";
  compose::StoreInOutbox(message, platform::Text(kOutboxText), table, index, settings);

  if (!ui::SaveAllFiles(folder, settings, table)) {
    error = "Cannot write the demo's files in " + folder;
    return false;
  }
  return true;
}

}  // namespace zelk::demo
