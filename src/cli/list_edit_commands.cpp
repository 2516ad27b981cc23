// zelk-cli copy MAILBOX ROW... [--yes] and delete MAILBOX ROW... [--yes]: the main window's Copy
// to Savebox (Create copy in the Outbox) and Delete from list on rows of the list, then
// everything saved as when the program ends.
#include "cli/command_window.h"
#include "cli/commands.h"
#include "ui/list_commands.h"
#include "ui/mailbox_selection.h"

namespace zelk::cli {

namespace {

struct RowsRequest {
  std::string mailbox;
  std::vector<int> rows;
  bool yes = false;
};

std::optional<RowsRequest> ParseRowsRequest(const std::vector<std::string>& args) {
  RowsRequest request;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      request.yes = true;
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() < 2) return std::nullopt;
  request.mailbox = words.front();
  std::optional<std::vector<int>> rows = ParseRows({words.begin() + 1, words.end()});
  if (!rows) return std::nullopt;
  request.rows = std::move(*rows);
  return request;
}

struct ListEdit {
  bool (*command)(ui::ProgramState&, std::span<const int>, ui::WindowPorts&);
  bool savebox;         // whether the command means anything in the Savebox
  const char* refusal;  // why nothing happened when a question was answered No
};

// Shows the mailbox, checks every row, then runs the command with --yes as the answer to its
// questions.
int RunOnRows(const GlobalOptions& options, const RowsRequest& request, const ListEdit& edit) {
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  CommandWindow window(std::move(*session));
  const int index = store::FindMailBox(window.state.table, request.mailbox);
  if (index < 0) return Fail("No such mailbox: " + request.mailbox);
  if (index == store::kSaveboxIndex && !edit.savebox) return Fail("The Savebox has nowhere to copy to");
  ui::SelectMailbox(window.state, index, window.ports);
  const std::optional<std::vector<int>> rows = CheckRows(window.state, request.rows, request.mailbox);
  if (!rows) return 1;
  window.terminal.answerYes = request.yes;
  const bool done = edit.command(window.state, *rows, window.ports);
  if (window.terminal.error) return kFailedAndShown;
  if (!done) return Fail(edit.refusal);
  return window.SaveLikeAnExit() ? 0 : 1;
}

}  // namespace

int CopyCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  const std::optional<RowsRequest> request = ParseRowsRequest(args);
  if (!request) return 2;
  return RunOnRows(options, *request, {ui::CopyRows, false, "Nothing copied: --yes answers the questions with Yes"});
}

int DeleteCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  const std::optional<RowsRequest> request = ParseRowsRequest(args);
  if (!request) return 2;
  return RunOnRows(options, *request,
                   {ui::DeleteFromList, true, "Nothing deleted: --yes deletes the rows from the list"});
}

}  // namespace zelk::cli
