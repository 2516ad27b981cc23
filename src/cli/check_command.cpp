// zelk-cli check ACCOUNT: a POP3 check of one account; prints the rows it added.
#include "cli/commands.h"
#include "cli/interruption.h"
#include "cli/session.h"
#include "cli/terminal_ports.h"
#include "net/conversation.h"
#include "net/pop3_check.h"
#include "ui/save_all.h"

namespace zelk::cli {

int CheckCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].starts_with("--")) return 2;
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  const int index = store::FindMailBox(session->table, args[0]);
  if (index < store::kFirstAccountIndex) return Fail("No such account: " + args[0]);

  platform::PollEventLoop loop;
  TerminalPorts ports;
  net::WorkHooks hooks;
  const net::ConversationLog log(session->home, session->settings.SocLog == 1);
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, session->clock}, session->settings,
                                 session->table);
  Interruption interruption(loop, conversation);
  const net::CheckParts parts{session->settings, session->table, ports, ports, hooks, session->zone,
                              session->clock, {}, {}};
  if (!net::StartCheck(conversation, index, false, parts)) {
    return ports.error ? kFailedAndShown : Fail("No password: the check was not started");
  }
  interruption.RunConversation();

  // What the check fetched is saved even when it ended in an error.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, session->table);
  if (ports.error) return kFailedAndShown;
  if (interruption.interrupted()) return Fail("Stopped");
  store::ListModel model;
  model.settings = ListSettingsOf(*session);
  store::SelectMailBox(model, *session->table.boxes[static_cast<std::size_t>(index)], store::KindOfMailBox(index));
  const int printed = PrintRows(model, [](const store::MailItem& item) { return item.New == 1; });
  return saved ? printed : Fail("Save File error");
}

}  // namespace zelk::cli
