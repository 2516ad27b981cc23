// zelk-cli update ACCOUNT [--yes] | update --all [--yes]: carries out the download and deletion
// marks on the server (with --all also the Outbox's sending marks), then saves everything as when
// the program ends.
#include <algorithm>
#include <string_view>

#include "cli/commands.h"
#include "cli/network_run.h"
#include "cli/session.h"
#include "net/pop3_update.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

constexpr char kNeedsYes[] = "Nothing was updated: deleting mail from the server needs --yes";

}  // namespace

int UpdateCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  std::optional<std::string> account;
  bool yes = false;
  bool all = false;
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      yes = true;
    } else if (arg == "--all" && !all && !account) {
      all = true;
    } else if (arg.starts_with("--") || account || all) {
      return 2;
    } else {
      account = arg;
    }
  }
  if (!account && !all) return 2;
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  store::MailBoxTable& table = session->table;
  if (account) {
    const int index = store::FindMailBox(table, *account);
    if (index < store::kFirstAccountIndex) return Fail("No such account: " + *account);
    const store::MailBox& box = *table.boxes[static_cast<std::size_t>(index)];
    if (!net::HasUpdateWork(box)) return Fail(std::string(net::kNoMarkedMail));
    // Nobody at a terminal can be asked: deleting from the server takes --yes.
    if (!yes && net::UpdateNeedsDeletionWarning(box)) {
      TerminalPorts ports;
      (void)ports.ShowMessage("Update account", std::string(net::kDeletionWarning), ports::MessageIcon::kQuestion,
                              ports::MessageButtons::kYesNo, true);
      return Fail(kNeedsYes);
    }
    table.selected = index;
  }

  NetworkRun run(*session);
  run.ports().answerYes = yes;
  const bool started = all ? run.commands().UpdateAll() : run.commands().UpdateAccount();
  if (!started && !run.ports().error) {
    if (!all) return Fail("No password: the update was not started");
    // The survey printed that nothing is marked, or its deletion question, answered No.
    const bool asked = std::any_of(table.boxes.begin() + store::kFirstAccountIndex, table.boxes.end(),
                                   [](const auto& box) { return box->CyclicFlag != 1 && net::UpdateNeedsDeletionWarning(*box); });
    return asked && !yes ? Fail(kNeedsYes) : kFailedAndShown;
  }
  run.Run();

  // Downloads finished before an error are saved too.
  const bool saved = ui::SaveAllFiles(session->home, session->settings, table) && run.saved();
  const bool failed = run.ReportFailures();
  if (run.ports().error) return kFailedAndShown;
  if (run.interrupted()) return Fail("Stopped");
  if (!saved) return Fail("Save File error");
  return failed ? 1 : 0;
}

}  // namespace zelk::cli
