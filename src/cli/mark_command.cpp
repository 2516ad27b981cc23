// zelk-cli mark MAILBOX ROW... --download|--delete|--send|--cancel|--read|--unread: the user's marks
// on rows of the list, then everything saved as when the program ends.
#include "cli/commands.h"
#include "cli/session.h"
#include "platform/decimal.h"
#include "store/list_model.h"
#include "store/marks.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

enum class Marking { kDownload, kDelete, kSend, kCancel, kRead, kUnread };

std::optional<Marking> ParseMarking(const std::string& flag) {
  if (flag == "--download") return Marking::kDownload;
  if (flag == "--delete") return Marking::kDelete;
  if (flag == "--send") return Marking::kSend;
  if (flag == "--cancel") return Marking::kCancel;
  if (flag == "--read") return Marking::kRead;
  if (flag == "--unread") return Marking::kUnread;
  return std::nullopt;
}

// The main window offers each command only where it means something.
bool Available(Marking command, int mailbox) {
  switch (command) {
    case Marking::kDownload:
    case Marking::kCancel: return mailbox != store::kSaveboxIndex;
    case Marking::kDelete: return mailbox >= store::kFirstAccountIndex;
    case Marking::kSend: return mailbox == store::kOutboxIndex;
    case Marking::kRead:
    case Marking::kUnread: return mailbox != store::kOutboxIndex;
  }
  return false;
}

void Apply(Marking command, store::MailItem& item, int mailbox) {
  switch (command) {
    case Marking::kDownload: store::MarkForDownload(item, mailbox == store::kOutboxIndex, false); break;
    // The same command as download: in the Outbox it marks for sending.
    case Marking::kSend: store::MarkForDownload(item, true, false); break;
    case Marking::kDelete: store::MarkForDelete(item); break;
    case Marking::kCancel: store::CancelMark(item); break;
    case Marking::kRead: store::MarkAsRead(item, true); break;
    case Marking::kUnread: store::MarkAsRead(item, false); break;
  }
}

}  // namespace

int MarkCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  std::optional<Marking> command;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (arg.starts_with("--")) {
      if (command) return 2;
      command = ParseMarking(arg);
      if (!command) return 2;
    } else {
      words.push_back(arg);
    }
  }
  if (!command || words.size() < 2) return 2;
  std::vector<int> rows;
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i].empty() || words[i].find_first_not_of("0123456789") != std::string::npos) return 2;
    rows.push_back(platform::ReadDecimal(words[i]) - 1);
  }

  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  const int index = store::FindMailBox(session->table, words[0]);
  if (index < 0) return Fail("No such mailbox: " + words[0]);
  if (!Available(*command, index)) return Fail("That mark cannot be set in " + words[0]);
  store::ListModel model;
  model.settings = ListSettingsOf(*session);
  store::SelectMailBox(model, *session->table.boxes[static_cast<std::size_t>(index)], store::KindOfMailBox(index));
  // Every row is checked first, so a bad row number changes nothing.
  std::vector<store::MailItem*> items;
  for (const int row : rows) {
    store::MailItem* item = row >= 0 ? store::ItemOfRow(model, row) : nullptr;
    if (item == nullptr) return Fail("No row " + std::to_string(row + 1) + " in " + words[0]);
    items.push_back(item);
  }
  for (store::MailItem* item : items) Apply(*command, *item, index);
  if (!ui::SaveAllFiles(session->home, session->settings, session->table)) return Fail("Save File error");
  return 0;
}

}  // namespace zelk::cli
