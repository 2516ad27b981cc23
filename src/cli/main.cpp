// zelk-cli: the mail client without a window, for scripts, cron and servers.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "platform/code_page.h"
#include "platform/version.h"

namespace zelk::cli {

namespace {

constexpr char kUsage[] =
    "Usage: zelk-cli [--home DIR] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  list [MAILBOX] [--sort KEY]   the messages of MAILBOX (default: the first account)\n"
    "                                as the message list shows them, tab-separated: mark,\n"
    "                                new, subject, from (to), date, size; KEY: 1-4 (columns),\n"
    "                                101 number, 102 icon, 103 thread, negative: descending\n"
    "  show MAILBOX ROW [--source]   the ROW-th message of the list (1-based); marks it read\n"
    "  show --file FILE [--source]   a message file, as if downloaded into an empty account\n"
    "  show ... --save-attachment N [FILE]\n"
    "                                saves attachment N (decoded) to FILE, else under its own\n"
    "                                name in the current directory, never replacing a file\n"
    "  show ... --save-text [FILE]   saves the message as a text file, as \"Save as...\" does\n"
    "  check ACCOUNT                 checks the account for new mail; prints the new rows\n"
    "  check --all                   checks every account but those with CyclicFlag=1;\n"
    "                                prints each one's new rows under a NAME: line; exits 1\n"
    "                                when an account failed (SocIgnoreError=1 goes on)\n"
    "  update ACCOUNT [--yes]        downloads the rows marked for download and deletes\n"
    "                                those marked for deletion from the server (--yes)\n"
    "  update --all [--yes]          the same for every account, then sends the Outbox's\n"
    "                                marked messages; deleting anywhere needs --yes\n"
    "  mark MAILBOX ROW... --download|--delete|--send|--cancel|--read|--unread\n"
    "                                sets or clears marks on rows of the list (1-based)\n"
    "  compose [--account NAME] [--subject TEXT] [--attach FILE]... TO\n"
    "                                a new message to TO (addresses, or a mailto: URL),\n"
    "                                its text from stdin, stored in the Outbox unmarked\n"
    "  compose --reply MAILBOX ROW [--all] [--quote|--no-quote] [--account NAME]\n"
    "                                a reply to the ROW-th message (--all: to all)\n"
    "  send ROW                      sends the ROW-th message of the Outbox now\n"
    "  send --marked                 sends every Outbox message marked for sending\n"
    "                                (mark \"[Outbox]\" ROW... --send), account by account\n"
    "                                (POP3 login first where PopBeforeSmtp=1)\n"
    "  account list                  the account names in selector order\n"
    "  account add NAME [--server HOST] [--port N] [--user USER] [--address ADDR]\n"
    "              [--smtp-server HOST] [--smtp-port N]\n"
    "              [--tls none|implicit|starttls] [--smtp-tls none|implicit|starttls]\n"
    "              [--fingerprint SHA256] [--smtp-fingerprint SHA256]\n"
    "                                a new account (ports default to 110 and 25; implicit\n"
    "                                TLS: 995 and 465, STARTTLS for SMTP: 587; port 995 or\n"
    "                                465 alone means implicit TLS)\n"
    "  account delete NAME --yes     deletes the account and its message list\n"
    "  account move-up|move-down NAME\n"
    "                                moves the account one place in the selector\n"
    "  account initialise NAME [--from N]\n"
    "                                the next check lists the server afresh (or from\n"
    "                                message N)\n"
    "  copy MAILBOX ROW... [--yes]   copies the rows to the Savebox (--yes answers its\n"
    "                                questions); in the Outbox, new unsent copies\n"
    "  delete MAILBOX ROW... --yes   deletes the rows from the list (not from the server)\n"
    "  book list                     the address book: address and comment, tab-separated\n"
    "  book add ADDRESS [COMMENT]    appends an entry to the address book\n"
    "  book delete ROW...            deletes entries (1-based, as book list prints them)\n"
    "\n"
    "MAILBOX is an account name, [Savebox] or [Outbox]. Ctrl+C stops a network command\n"
    "politely; each account's file is saved as soon as its conversation ends, everything\n"
    "else when the command ends.\n"
    "\n"
    "Options:\n"
    "  --home DIR   use DIR for Zelk.ini and the log (default: $ZELK_HOME, else\n"
    "               ~/.config/zelk/)\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Environment:\n"
    "  ZELK_CODEPAGE  the code page of files and local text (default: the locale's)\n";

int Usage(std::FILE* to, int status) {
  std::fputs(kUsage, to);
  return status;
}

}  // namespace

int Fail(const std::string& text) {
  std::fprintf(stderr, "zelk-cli: %s\n", text.c_str());
  return 1;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

int Main(int argc, char** argv) {
  const std::string codePage = platform::LocalCodePageFromEnvironment();
  if (!platform::SelectLocalCodePage(codePage)) {
    std::fprintf(stderr, "zelk-cli: unknown code page \"%s\", using UTF-8\n", codePage.c_str());
  }
  GlobalOptions options;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
    if (arg == "--version") {
      std::puts(platform::kVersionText);
      return 0;
    }
    if (arg != "--home") break;
    if (++i == argc) return Usage(stderr, 2);
    options.home = argv[i];
  }
  if (i == argc) return Usage(stderr, 2);
  const std::string command = argv[i];
  const std::vector<std::string> args(argv + i + 1, argv + argc);
  int status = 2;
  if (command == "list") {
    status = ListCommand(options, args);
  } else if (command == "show") {
    status = ShowCommand(options, args);
  } else if (command == "check") {
    status = CheckCommand(options, args);
  } else if (command == "update") {
    status = UpdateCommand(options, args);
  } else if (command == "compose") {
    status = ComposeCommand(options, args);
  } else if (command == "account") {
    status = AccountCommand(options, args);
  } else if (command == "copy") {
    status = CopyCommand(options, args);
  } else if (command == "delete") {
    status = DeleteCommand(options, args);
  } else if (command == "send") {
    status = SendCommand(options, args);
  } else if (command == "mark") {
    status = MarkCommand(options, args);
  } else if (command == "book") {
    status = BookCommand(options, args);
  } else {
    std::fprintf(stderr, "zelk-cli: unknown command \"%s\"\n\n", command.c_str());
  }
  return status == 2 ? Usage(stderr, 2) : status;
}

}  // namespace zelk::cli

int main(int argc, char** argv) { return zelk::cli::Main(argc, argv); }
