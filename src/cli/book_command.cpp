// zelk-cli book list | book add ADDRESS [COMMENT] | book delete ROW...: the address book as its
// dialog edits it, confirmed with OK, then everything saved as when the program ends.
#include <algorithm>
#include <cstdio>

#include "book/address_book.h"
#include "cli/command_window.h"
#include "cli/commands.h"

namespace zelk::cli {

namespace {

int List(const std::vector<book::Row>& rows) {
  std::string out;
  for (const book::Row& row : rows) out += OneLine(row.address) + "\t" + OneLine(row.comment) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the address book");
}

// The rows without the given ones (1-based); nothing, the failure printed, for a row that is not there.
std::optional<std::vector<book::Row>> WithoutRows(std::vector<book::Row> rows, const std::vector<int>& numbers) {
  std::vector<bool> deleted(rows.size(), false);
  for (const int number : numbers) {
    if (number < 1 || number > static_cast<int>(rows.size())) {
      Fail("No row " + std::to_string(number) + " in the address book");
      return std::nullopt;
    }
    deleted[static_cast<std::size_t>(number - 1)] = true;
  }
  std::vector<book::Row> kept;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!deleted[i]) kept.push_back(std::move(rows[i]));
  }
  return kept;
}

}  // namespace

int BookCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  const std::string& verb = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (verb == "list" ? !rest.empty() : verb == "add" ? rest.empty() || rest.size() > 2 : verb != "delete" || rest.empty()) {
    return 2;
  }
  std::optional<std::vector<int>> numbers;
  if (verb == "delete" && !(numbers = ParseRows(rest))) return 2;

  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  CommandWindow window(std::move(*session));
  std::vector<book::Row> rows = book::RowsOfBook(window.state.table.addressBook);
  if (verb == "list") return List(rows);
  if (verb == "add") {
    const std::optional<book::Row> row = book::EnteredRow(rest[0], rest.size() > 1 ? rest[1] : "");
    if (!row) return Fail(book::kNoAddressEntered);
    rows.push_back(*row);
  } else {
    std::optional<std::vector<book::Row>> kept = WithoutRows(std::move(rows), *numbers);
    if (!kept) return 1;
    rows = std::move(*kept);
  }
  if (!book::ConfirmRows(window.state.table, rows, window.state.settings, window.state.home)) {
    return Fail("Save File error");
  }
  return window.SaveLikeAnExit() ? 0 : 1;
}

}  // namespace zelk::cli
