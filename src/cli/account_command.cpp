// zelk-cli account list|add|delete|move-up|move-down|initialise: the Account menu, the settings
// sheet and the initialise dialog answered by options, then everything saved as when the program
// ends.
#include <cstdio>

#include "cli/command_window.h"
#include "cli/commands.h"
#include "config/account_sheet.h"
#include "config/initialise_rules.h"
#include "platform/decimal.h"
#include "ui/account_commands.h"
#include "ui/mailbox_selection.h"
#include "ui/startup.h"

namespace zelk::cli {

namespace {

// What `account add` puts into the settings sheet.
struct AccountOptions {
  store::OptionalText server;
  std::optional<int> port;
  store::OptionalText user;
  store::OptionalText address;
  store::OptionalText smtpServer;
  std::optional<int> smtpPort;
  std::optional<store::TlsMode> tls;
  std::optional<store::TlsMode> smtpTls;
  store::OptionalText fingerprint;
  store::OptionalText smtpFingerprint;
};

std::optional<store::TlsMode> ParseTlsMode(const std::string& text) {
  if (text == "none") return store::TlsMode::kNone;
  if (text == "implicit") return store::TlsMode::kImplicit;
  if (text == "starttls") return store::TlsMode::kStartTls;
  return std::nullopt;
}

// A pin as the error texts print it, whatever form it was typed in.
store::OptionalText ParsePin(const std::string& text) {
  std::optional<platform::Text> pin = config::PinText(text);
  if (!pin || pin->empty()) return std::nullopt;
  return pin;
}

std::optional<int> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int port = platform::ReadDecimal(text);
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// The options after NAME; false for anything else.
bool ParseAddOptions(const std::vector<std::string>& words, AccountOptions& options) {
  for (std::size_t i = 1; i < words.size(); i += 2) {
    if (i + 1 >= words.size()) return false;
    const std::string& flag = words[i];
    const std::string& value = words[i + 1];
    if (flag == "--server") {
      options.server = value;
    } else if (flag == "--port") {
      if (!(options.port = ParsePort(value))) return false;
    } else if (flag == "--user") {
      options.user = value;
    } else if (flag == "--address") {
      options.address = value;
    } else if (flag == "--smtp-server") {
      options.smtpServer = value;
    } else if (flag == "--smtp-port") {
      if (!(options.smtpPort = ParsePort(value))) return false;
    } else if (flag == "--tls") {
      if (!(options.tls = ParseTlsMode(value))) return false;
    } else if (flag == "--smtp-tls") {
      if (!(options.smtpTls = ParseTlsMode(value))) return false;
    } else if (flag == "--fingerprint") {
      if (!(options.fingerprint = ParsePin(value))) return false;
    } else if (flag == "--smtp-fingerprint") {
      if (!(options.smtpFingerprint = ParsePin(value))) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Port and TLS mode as the sheet's POP3 or SMTP page takes them: a mode without a port brings
// its usual port, a port without a mode that of its own mode.
void ChooseTls(config::MailService service, const std::optional<int>& port, const std::optional<store::TlsMode>& tls,
               int& pagePort, store::TlsMode& pageTls) {
  if (tls) {
    pagePort = port ? *port : config::PortAfterModeChange(service, pageTls, *tls, pagePort);
    pageTls = *tls;
  } else if (port) {
    pagePort = *port;
    pageTls = config::ModeForPort(service, *port);
  }
}

// The settings sheet's POP3 and SMTP pages filled in with these fields and confirmed.
void FillSheet(store::MailBox& box, config::Settings& settings, const std::string& name,
               const AccountOptions& options) {
  config::AccountSheet sheet;
  config::ShowAccountPage(sheet, config::AccountPage::kPop3, box, settings, {});
  config::ShowAccountPage(sheet, config::AccountPage::kSmtp, box, settings, {});
  config::Pop3Page& pop3 = *sheet.pop3;
  config::SmtpPage& smtp = *sheet.smtp;
  pop3.name = name;
  if (options.server) pop3.server = *options.server;
  if (options.user) pop3.user = *options.user;
  if (options.address) smtp.address = *options.address;
  if (options.smtpServer) smtp.server = *options.smtpServer;
  ChooseTls(config::MailService::kPop3, options.port, options.tls, pop3.port, pop3.tls);
  ChooseTls(config::MailService::kSmtp, options.smtpPort, options.smtpTls, smtp.port, smtp.tls);
  if (options.fingerprint) pop3.fingerprint = *options.fingerprint;
  if (options.smtpFingerprint) smtp.fingerprint = *options.smtpFingerprint;
  config::ConfirmAccountSheet(sheet, box, settings);
}

// The empty account a profile without accounts gets at start: `add` fills it rather than
// keeping a nameless account beside the new one.
bool IsFirstStartPlaceholder(const store::MailBoxTable& table) {
  if (store::AccountCount(table) != 1) return false;
  const store::MailBox& box = *table.boxes[store::kFirstAccountIndex];
  const auto unset = [](const store::OptionalText& text) { return !text || text->empty(); };
  return unset(box.Name) && unset(box.Server) && unset(box.User) && unset(box.MailAddress) && box.Items.empty();
}

int Add(CommandWindow& window, const std::string& name, const AccountOptions& options) {
  if (name.empty()) return Fail("An account needs a name");
  if (store::FindMailBox(window.state.table, name) >= 0) return Fail("A mailbox named " + name + " exists already");
  window.accountSheet = [&](store::MailBox& box) {
    FillSheet(box, window.state.settings, name, options);
    return true;
  };
  if (IsFirstStartPlaceholder(window.state.table)) {
    ui::SetUpFirstAccount(window.state, window.ports);
  } else if (!ui::AddAccount(window.state, window.ports)) {
    return Fail("The account was not added");
  }
  return window.SaveLikeAnExit() ? 0 : 1;
}

int Delete(CommandWindow& window, int index, bool yes) {
  const int before = store::AccountCount(window.state.table);
  window.state.table.selected = index;
  window.terminal.answerYes = yes;
  ui::DeleteAccount(window.state, -1, window.ports);
  if (store::AccountCount(window.state.table) == before) {
    return Fail("Account not deleted: --yes deletes it and its messages");
  }
  return window.SaveLikeAnExit() ? 0 : 1;
}

int Move(CommandWindow& window, int index, bool up) {
  window.state.table.selected = index;
  if (up) {
    store::MoveUp(window.state.table, window.selector);
  } else {
    store::MoveDown(window.state.table, window.selector);
  }
  if (window.state.table.selected == index) {
    return Fail(up ? "It is the first account already" : "It is the last account already");
  }
  return window.SaveLikeAnExit() ? 0 : 1;
}

// LastNo as the initialise dialog sets it: -1 lists the server afresh, n starts at message n.
int Initialise(CommandWindow& window, int index, int from) {
  window.initialiseDialog = [from](store::MailBox& box) {
    box.LastNo = config::LastNoAfterInitialise(config::InitialiseFrom::kItemNumber, from);
    return true;
  };
  window.state.table.selected = index;
  if (!ui::InitialiseAccount(window.state, window.ports)) return Fail("The account was not initialised");
  return window.SaveLikeAnExit() ? 0 : 1;
}

int List(const CommandWindow& window) {
  std::string out;
  for (std::size_t i = store::kFirstAccountIndex; i < window.state.table.boxes.size(); ++i) {
    out += OneLine(store::NameOrUntitled(*window.state.table.boxes[i])) + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the list");
}

}  // namespace

int AccountCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  const std::string& action = args.front();
  const std::vector<std::string> words(args.begin() + 1, args.end());
  AccountOptions add;
  bool yes = false;
  int from = -1;
  if (action == "list") {
    if (!words.empty()) return 2;
  } else if (action == "add") {
    if (words.empty() || words[0].starts_with("--") || !ParseAddOptions(words, add)) return 2;
  } else if (action == "delete") {
    yes = words.size() == 2 && words[1] == "--yes";
    if (words.size() != (yes ? 2u : 1u) || words[0].starts_with("--")) return 2;
  } else if (action == "move-up" || action == "move-down") {
    if (words.size() != 1 || words[0].starts_with("--")) return 2;
  } else if (action == "initialise") {
    if (words.size() == 3 && words[1] == "--from" && !words[2].empty() &&
        words[2].find_first_not_of("0123456789") == std::string::npos) {
      from = platform::ReadDecimal(words[2]);
    } else if (words.size() != 1 || words[0].starts_with("--")) {
      return 2;
    }
  } else {
    return 2;
  }

  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  CommandWindow window(std::move(*session));
  if (action == "list") return List(window);
  if (action == "add") return Add(window, words[0], add);

  const int index = store::FindMailBox(window.state.table, words[0]);
  if (index < 0) return Fail("No such mailbox: " + words[0]);
  if (index < store::kFirstAccountIndex) return Fail("Not an account: " + words[0]);
  if (action == "delete") return Delete(window, index, yes);
  if (action == "initialise") return Initialise(window, index, from);
  return Move(window, index, action == "move-up");
}

}  // namespace zelk::cli
