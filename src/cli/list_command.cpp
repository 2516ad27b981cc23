// zelk-cli list [MAILBOX] [--sort KEY]: the rows of a mailbox as the message list shows them.
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/session.h"
#include "platform/decimal.h"
#include "store/list_model.h"
#include "store/list_sort.h"

namespace zelk::cli {

namespace {

std::optional<int> ParseSortKey(const std::string& text) {
  const int key = platform::ReadDecimal(text);
  const int size = key < 0 ? -key : key;
  const bool digitsOnly = !text.empty() && text.find_first_not_of("-0123456789") == std::string::npos;
  if (!digitsOnly || !((size >= 1 && size <= 4) || (size >= 101 && size <= 103))) return std::nullopt;
  return key;
}

}  // namespace

int ListCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  std::optional<std::string> mailbox;
  std::optional<int> sortKey;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sort" && i + 1 < args.size()) {
      sortKey = ParseSortKey(args[++i]);
      if (!sortKey) return 2;
    } else if (!mailbox && !args[i].starts_with("--")) {
      mailbox = args[i];
    } else {
      return 2;
    }
  }
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  const int index = mailbox ? store::FindMailBox(session->table, *mailbox) : store::kFirstAccountIndex;
  if (index < 0 || index >= static_cast<int>(session->table.boxes.size())) {
    return Fail("No such mailbox: " + mailbox.value_or(""));
  }

  store::ListModel model;
  model.settings = ListSettingsOf(*session);
  store::SelectMailBox(model, *session->table.boxes[static_cast<std::size_t>(index)], store::KindOfMailBox(index));
  // Keys that no column header or menu command gives (the server number, thread order
  // descending) are still a plain sort.
  if (sortKey && !store::ApplySortKey(model, *sortKey)) store::SortList(model, *sortKey);

  return PrintRows(model, [](const store::MailItem&) { return true; });
}

int PrintRows(const store::ListModel& model, const std::function<bool(const store::MailItem&)>& wanted) {
  std::string out;
  for (int row = 0; row < store::RowCount(model); ++row) {
    const store::MailItem* item = store::ItemOfRow(model, row);
    if (item == nullptr || !wanted(*item)) continue;
    const store::RowLook look = store::LookOfRow(model, row);
    out += std::to_string(look.image) + "\t" + (look.newOverlay ? "1" : "0");
    for (int column = 0; column < 4; ++column) out += "\t" + OneLine(store::CellText(model, row, column));
    out += "\n";
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the list");
}

}  // namespace zelk::cli
