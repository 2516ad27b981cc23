// zelk-cli show MAILBOX ROW [--source] | show --file FILE [--source]: a message as the viewer
// shows it: the header pane, the text, and the attachments it offers.
#include <cstdio>

#include "cli/commands.h"
#include "cli/session.h"
#include "mime/display_text.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/home_directory.h"
#include "platform/line_breaks.h"
#include "store/list_model.h"
#include "store/marks.h"
#include "store/message_parse.h"
#include "ui/save_all.h"
#include "viewer/header_pane.h"

namespace zelk::cli {

namespace {

// The parts the viewer offers to save (its attachment commands): every part but the shown text
// part, unless the whole message is one part of its own kind.
std::vector<std::size_t> OfferedAttachments(const std::vector<mime::MimePart>& parts, bool source) {
  if (parts.size() == 1 && parts[0].bodyStart == 0 && !parts[0].bodyEnd && parts[0].contentType &&
      (mime::IsTextPart(parts[0]) || source)) {
    return {};
  }
  const std::optional<std::size_t> textPart = mime::FirstTextPart(parts);
  std::vector<std::size_t> offered;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != textPart) offered.push_back(i);
  }
  return offered;
}

std::string AttachmentLabel(const mime::MimePart& part) {
  if (part.fileName && !part.fileName->empty()) return *part.fileName;
  const std::string type = part.contentType.value_or("");
  const std::string cut = type.substr(0, type.find(';'));
  return cut.empty() ? "Attach" : cut;
}

int Print(const store::MailItem& item, const store::OptionalText& accountAddress, bool source,
          const config::Settings& settings) {
  std::vector<mime::MimePart> parts;
  const mime::DisplayText shown = mime::GetDisplayText(item, source, parts, settings.UndeclaredCharset);
  std::string out = platform::WithLfLineBreaks(viewer::HeaderPaneText(item, accountAddress, true));
  out += "\n\n" + platform::WithLfLineBreaks(shown.text);
  if (!out.ends_with('\n')) out += '\n';
  for (const std::size_t i : OfferedAttachments(parts, source)) {
    out += "Attachment " + std::to_string(i) + ": " + OneLine(AttachmentLabel(parts[i])) + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the message");
}

// A message file as a POP3 server would send it with RETR: CR LF line ends, lines that begin
// with "." doubled.
std::string AsReceived(std::string_view file) {
  std::string raw;
  raw.reserve(file.size() + file.size() / 32);
  bool lineStart = true;
  for (std::size_t i = 0; i < file.size(); ++i) {
    const char c = file[i];
    if (lineStart && c == '.') raw += '.';
    if (c == '\n' && (i == 0 || file[i - 1] != '\r')) raw += '\r';
    raw += c;
    lineStart = c == '\n';
  }
  return raw;
}

store::ParseContext ParseContextOf(Session& session) {
  return config::ParseContextFor(session.settings, session.zone.Offset(session.settings.TimeZone, session.clock));
}

int ShowFile(const GlobalOptions& options, const std::string& path, bool source) {
  const std::optional<std::string> file = platform::ReadWholeFile(path);
  if (!file) return Fail("Cannot read " + path);
  Session defaults;
  std::optional<Session> session;
  // Only a profile that exists is read: showing a file writes nothing, not even a new profile.
  const std::string home = platform::HomeDirectoryFor(options.home);
  if (platform::FileSize(home + "Zelk.ini")) {
    std::string error;
    session = OpenSession(options.home, error);
    if (!session) return Fail(error);
  }
  store::MailItem item;
  Session& used = session ? *session : defaults;
  store::ParseMessage(item, AsReceived(*file), std::nullopt, ParseContextOf(used));
  item.Download = 1;
  return Print(item, std::nullopt, source, used.settings);
}

}  // namespace

int ShowCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  std::vector<std::string> words;
  std::optional<std::string> file;
  bool source = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--source") {
      source = true;
    } else if (args[i] == "--file" && i + 1 < args.size() && !file) {
      file = args[++i];
    } else if (args[i].starts_with("--")) {
      return 2;
    } else {
      words.push_back(args[i]);
    }
  }
  if (file) return words.empty() ? ShowFile(options, *file, source) : 2;
  if (words.size() != 2 || words[1].find_first_not_of("0123456789") != std::string::npos) return 2;
  const int row = platform::ReadDecimal(words[1]) - 1;

  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  store::MailBoxTable& table = session->table;
  const int index = store::FindMailBox(table, words[0]);
  if (index < 0) return Fail("No such mailbox: " + words[0]);
  store::MailBox& box = *table.boxes[static_cast<std::size_t>(index)];
  store::ListModel model;
  model.settings = ListSettingsOf(*session);
  store::SelectMailBox(model, box, store::KindOfMailBox(index));
  store::MailItem* item = row >= 0 ? store::ItemOfRow(model, row) : nullptr;
  if (item == nullptr) return Fail("No row " + words[1] + " in " + words[0]);

  // The To group leaves out the reader's own address: the account's, or for the Savebox the
  // account the message was copied from.
  const int account = index >= store::kFirstAccountIndex ? index
                      : index == store::kSaveboxIndex    ? store::FindMailBox(table, item->MailBoxName)
                                                         : -1;
  const store::OptionalText accountAddress =
      account >= store::kFirstAccountIndex ? table.boxes[static_cast<std::size_t>(account)]->MailAddress : std::nullopt;
  store::MarkShown(*item);
  const int status = Print(*item, accountAddress, source, session->settings);
  // As the program does when it ends, so that successive runs behave like one long run.
  if (!ui::SaveAllFiles(session->home, session->settings, table)) return Fail("Save File error");
  return status;
}

}  // namespace zelk::cli
