// zelk-cli check ACCOUNT | check --all: POP3 checks of one account or of every account the
// check-all cycle visits; prints the rows they added.
#include <algorithm>
#include <cstdio>

#include "cli/commands.h"
#include "cli/network_run.h"
#include "cli/session.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

int PrintNewRows(Session& session, int index) {
  store::ListModel model;
  model.settings = ListSettingsOf(session);
  store::SelectMailBox(model, *session.table.boxes[static_cast<std::size_t>(index)], store::KindOfMailBox(index));
  return PrintRows(model, [](const store::MailItem& item) { return item.New == 1; });
}

}  // namespace

int CheckCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  if (args.size() != 1 || (args[0].starts_with("--") && args[0] != "--all")) return 2;
  const bool all = args[0] == "--all";
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  store::MailBoxTable& table = session->table;
  int index = -1;
  if (!all) {
    index = store::FindMailBox(table, args[0]);
    if (index < store::kFirstAccountIndex) return Fail("No such account: " + args[0]);
    table.selected = index;
  }

  NetworkRun run(*session);
  const bool started = all ? run.commands().CheckAll() : run.commands().CheckAccount();
  if (!started && !run.ports().error) return Fail("No password: the check was not started");
  run.Run();

  // What the checks fetched is saved even when one ended in an error.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, table) && run.saved();
  const bool failed = run.ReportFailures();
  if (run.ports().error) return kFailedAndShown;
  if (run.interrupted()) return Fail("Stopped");
  if (!all) {
    const int printed = PrintNewRows(*session, index);
    if (!saved) return Fail("Save File error");
    return failed ? 1 : printed;
  }
  // Each account's new rows under a line with its name.
  for (int i = store::kFirstAccountIndex; i < static_cast<int>(table.boxes.size()); ++i) {
    const store::MailBox& box = *table.boxes[static_cast<std::size_t>(i)];
    const bool anyNew = std::any_of(box.Items.begin(), box.Items.end(), [](const store::ItemRef& item) { return item->New == 1; });
    if (box.CyclicFlag == 1 || !anyNew) continue;
    std::printf("%s:\n", OneLine(store::NameOrUntitled(box)).c_str());
    std::fflush(stdout);
    if (PrintNewRows(*session, i) != 0) return 1;
  }
  if (!saved) return Fail("Save File error");
  return failed ? 1 : 0;
}

}  // namespace zelk::cli
