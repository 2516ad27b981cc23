// zelk-cli send ROW | send --marked: sends one Outbox message now, or every message marked for
// sending account by account, each account's messages on one connection.
#include "cli/commands.h"
#include "cli/network_run.h"
#include "cli/session.h"
#include "net/pop3_update.h"
#include "platform/decimal.h"
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

  NetworkRun run(*session);
  if (!marked) {
    const store::ItemRef item = OutboxItemOfRow(*session, platform::ReadDecimal(args[0]) - 1);
    if (!item) return Fail("No row " + args[0] + " in [Outbox]");
    // With POP before SMTP the account's login comes first, then the wait, then the send.
    (void)run.commands().SendNow(item);
  } else {
    if (store::NextSendMarked(table, -1) < 0) return Fail(std::string(net::kNoMarkedMail));
    // The Outbox send cycle: account by account, each account's marked messages on one connection.
    table.selected = store::kOutboxIndex;
    (void)run.commands().UpdateAccount();
  }
  run.Run();

  // What was sent is marked so in the Outbox file, also when a later message failed.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, table) && run.saved();
  const bool failed = run.ReportFailures();
  if (run.ports().error) return kFailedAndShown;
  if (run.interrupted()) return Fail("Stopped");
  if (failed) return 1;
  // Still marked after a run without errors: the account the message names is not there.
  if (marked && store::NextSendMarked(table, -1) >= 0) return Fail("No account specified");
  if (!saved) return Fail("Save File error");
  return 0;
}

}  // namespace zelk::cli
