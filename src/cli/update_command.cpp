// zelk-cli update ACCOUNT [--yes]: carries out the account's download and deletion marks on the
// server, then saves everything as when the program ends.
#include <string_view>

#include "cli/commands.h"
#include "cli/interruption.h"
#include "cli/session.h"
#include "cli/terminal_ports.h"
#include "net/conversation.h"
#include "net/pop3_update.h"
#include "ui/save_all.h"

namespace zelk::cli {

int UpdateCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  std::optional<std::string> account;
  bool yes = false;
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      yes = true;
    } else if (arg.starts_with("--") || account) {
      return 2;
    } else {
      account = arg;
    }
  }
  if (!account) return 2;
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  const int index = store::FindMailBox(session->table, *account);
  if (index < store::kFirstAccountIndex) return Fail("No such account: " + *account);
  const store::MailBox& box = *session->table.boxes[static_cast<std::size_t>(index)];
  if (!net::HasUpdateWork(box)) return Fail(std::string(net::kNoMarkedMail));

  TerminalPorts ports;
  ports.answerYes = yes;
  // Nobody at a terminal can be asked: deleting from the server takes --yes.
  if (net::UpdateNeedsDeletionWarning(box) &&
      ports.ShowMessage("Update account", std::string(net::kDeletionWarning), ui::MessageIcon::kQuestion,
                        ui::MessageButtons::kYesNo, true) != ui::Answer::kYes) {
    return Fail("Nothing was updated: deleting mail from the server needs --yes");
  }

  platform::PollEventLoop loop;
  net::WorkHooks hooks;
  const net::ConversationLog log(session->home, session->settings.SocLog == 1);
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, session->clock}, session->settings,
                                 session->table);
  Interruption interruption(loop, conversation);
  const net::UpdateParts parts{session->settings, session->table, ports, hooks, session->zone, session->clock, {}};
  if (!net::StartUpdate(conversation, index, parts)) {
    return ports.error ? kFailedAndShown : Fail("No password: the update was not started");
  }
  interruption.RunConversation();

  // Downloads finished before an error are saved too.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, session->table);
  if (ports.error) return kFailedAndShown;
  if (interruption.interrupted()) return Fail("Stopped");
  return saved ? 0 : Fail("Save File error");
}

}  // namespace zelk::cli
