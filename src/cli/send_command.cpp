// zelk-cli send ROW | send --marked: sends one Outbox message now, or every message marked for
// sending account by account, each account's messages on one connection.
#include <chrono>
#include <thread>

#include "cli/commands.h"
#include "cli/interruption.h"
#include "cli/session.h"
#include "cli/terminal_ports.h"
#include "net/conversation.h"
#include "net/pop3_check.h"
#include "platform/decimal.h"
#include "smtp/smtp_send.h"
#include "store/list_model.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

store::ItemRef OutboxItemOfRow(Session& session, int row) {
  store::MailBox& outbox = *session.table.boxes[store::kOutboxIndex];
  store::ListModel model;
  model.settings = ListSettingsOf(session);
  store::SelectMailBox(model, outbox, store::KindOfMailBox(store::kOutboxIndex));
  const store::MailItem* item = store::ItemOfRow(model, row);
  for (const store::ItemRef& ref : outbox.Items) {
    if (ref.get() == item && item != nullptr) return ref;
  }
  return nullptr;
}

}  // namespace

int SendCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  const bool marked = args[0] == "--marked";
  if (!marked && (args[0].empty() || args[0].find_first_not_of("0123456789") != std::string::npos)) return 2;
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  store::MailBoxTable& table = session->table;

  platform::PollEventLoop loop;
  TerminalPorts ports;
  net::WorkHooks hooks;
  const net::ConversationLog log(session->home, session->settings.SocLog == 1);
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, session->clock}, session->settings, table);
  Interruption interruption(loop, conversation);
  const smtp::SendParts parts{session->settings, table, ports, ports, session->clock,
                              config::DataDirectoryPath(session->settings, session->home), {}};
  const net::CheckParts checkParts{session->settings, table, ports, ports, hooks, session->zone, session->clock,
                                   {}, {}};
  // Why something was not sent when no error was shown. A start refused without one is a
  // password prompt nobody answered.
  std::optional<std::string> notSent;
  const auto started = [&](bool start) {
    if (!start && !ports.error && !notSent) notSent = "No password: the message was not sent";
    return start;
  };
  // POP before SMTP: the account's POP3 login is what opens the server for sending, for a while,
  // after a wait of PopBeforeSmtpWait in 100 ms steps.
  const auto popFirst = [&](const store::ItemRef& item) {
    const int account = store::FindMailBox(table, item->MailBoxName);
    if (account < store::kFirstAccountIndex || table.boxes[static_cast<std::size_t>(account)]->PopBeforeSmtp != 1) {
      return true;
    }
    const bool loginOnly = session->settings.PopBeforeSmtpIsLoginOnly == 1;
    if (!started(net::StartCheck(conversation, account, loginOnly, checkParts))) return false;
    interruption.RunConversation();
    if (ports.error || interruption.interrupted()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(session->settings.PopBeforeSmtpWait / 100 * 100));
    return true;
  };
  // One conversation at a time; the next starts once the last has closed.
  const auto send = [&](const store::ItemRef& item, smtp::Continuation mode) {
    if (!popFirst(item) || !started(smtp::StartSend(conversation, item, mode, parts))) return false;
    interruption.RunConversation();
    return !ports.error && !interruption.interrupted();
  };

  int sent = 0;
  if (!marked) {
    const store::ItemRef item = OutboxItemOfRow(*session, platform::ReadDecimal(args[0]) - 1);
    if (!item) return Fail("No row " + args[0] + " in [Outbox]");
    if (send(item, smtp::Continuation::kQuitAfter)) ++sent;
  } else {
    // Account by account, as the send cycle goes; an account's first marked item opens its
    // connection and the rest follow on it. A failure stops the run unless SendIgnoreError says go on.
    for (int account = store::kFirstAccountIndex; account < static_cast<int>(table.boxes.size()); ++account) {
      const int first = store::NextSendMarkedFor(table, -1, account);
      if (first < 0) continue;
      const store::ItemRef item = table.boxes[store::kOutboxIndex]->Items[static_cast<std::size_t>(first)];
      if (!send(item, smtp::Continuation::kNextMarked) &&
          (session->settings.SendIgnoreError != 1 || interruption.interrupted())) {
        break;
      }
      ++sent;
    }
    if (sent == 0 && !ports.error && store::NextSendMarked(table, -1) < 0) return Fail("There is no marked mail");
    // Still marked after a run without errors: the account the message names is not there.
    if (!ports.error && !notSent && store::NextSendMarked(table, -1) >= 0) notSent = "No account specified";
  }

  // What was sent is marked so in the Outbox file, also when a later message failed.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, table);
  if (ports.error) return kFailedAndShown;
  if (interruption.interrupted()) return Fail("Stopped");
  if (notSent) return Fail(*notSent);
  if (!saved) return Fail("Save File error");
  return 0;
}

}  // namespace zelk::cli
