// zelk-cli show MAILBOX ROW | show --file FILE, with --source, --save-attachment N [FILE] and
// --save-text [FILE]: a message as the viewer shows it (the header pane, the text, and the
// attachments it offers), or what the viewer's save commands write.
#include <cstdio>

#include "cli/command_window.h"
#include "cli/commands.h"
#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/home_directory.h"
#include "platform/line_breaks.h"
#include "store/message_parse.h"
#include "ui/mailbox_selection.h"
#include "viewer/header_pane.h"
#include "viewer/saving.h"
#include "viewer/shown_message.h"

namespace zelk::cli {

namespace {

struct ShowRequest {
  std::vector<std::string> words;
  std::optional<std::string> file;
  bool source = false;
  std::optional<int> attachment;         // --save-attachment N
  std::optional<std::string> saveText;   // --save-text: "" until a FILE is named
  std::optional<std::string> savePath;   // the FILE after either
};

int Print(const viewer::ShownMessage& shown, const store::MailBoxTable& table) {
  // A terminal always shows the date.
  const platform::Text header =
      viewer::HeaderPaneText(*shown.item, viewer::ReaderAddress(table, shown.mailbox, *shown.item), true);
  std::string out = platform::WithLfLineBreaks(header) + "\n\n" + shown.pane;
  if (!out.ends_with('\n')) out += '\n';
  for (const viewer::AttachmentEntry& entry : shown.menu.attachments) {
    out += "Attachment " + std::to_string(entry.command - viewer::kFirstAttachmentCommand) + ": " +
           OneLine(entry.label) + (entry.enabled ? "\n" : " (incomplete)\n");
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the message");
}

// The FILE given, else the proposed name in the current directory, which is never replaced:
// the name comes from the mail.
std::optional<std::string> TargetPath(const ShowRequest& request, const platform::Text& proposed) {
  if (request.savePath) return *request.savePath;
  const std::string path = platform::TextToLocal(proposed);
  if (platform::FileSize(path)) {
    Fail(path + " exists; name the file to replace it");
    return std::nullopt;
  }
  return path;
}

int PrintSaved(const std::string& path) {
  std::printf("%s\n", path.c_str());
  return std::fflush(stdout) == 0 ? 0 : Fail("Cannot write the message");
}

int SaveAttachment(const viewer::ShownMessage& shown, const ShowRequest& request) {
  const int command = viewer::kFirstAttachmentCommand + *request.attachment;
  for (const viewer::AttachmentEntry& entry : shown.menu.attachments) {
    if (entry.command != command) continue;
    if (!entry.enabled) return Fail("Attachment " + std::to_string(*request.attachment) + " is incomplete");
    const mime::MimePart& part = shown.parts[static_cast<std::size_t>(*request.attachment)];
    const std::optional<std::string> path = TargetPath(request, viewer::AttachmentSaveName(part).name);
    if (!path) return 1;
    if (!viewer::SaveAttachment(*path, part, *shown.item)) return Fail("Save File error");
    return PrintSaved(*path);
  }
  return Fail("No attachment " + std::to_string(*request.attachment));
}

int SaveText(const viewer::ShownMessage& shown, const ShowRequest& request, const config::Settings& settings) {
  const std::optional<std::string> path = TargetPath(request, viewer::TextSaveName(*shown.item));
  if (!path) return 1;
  if (!viewer::SaveMessageAsText(*path, *shown.item, viewer::kSaveAsTemplate, settings.UndeclaredCharset)) {
    return Fail("Save File error");
  }
  return PrintSaved(*path);
}

int Output(const viewer::ShownMessage& shown, const ShowRequest& request, const ui::ProgramState& state) {
  if (request.attachment) return SaveAttachment(shown, request);
  if (request.saveText) return SaveText(shown, request, state.settings);
  return Print(shown, state.table);
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

int ShowFile(const GlobalOptions& options, const ShowRequest& request) {
  const std::optional<std::string> file = platform::ReadWholeFile(*request.file);
  if (!file) return Fail("Cannot read " + *request.file);
  Session session;
  // Only a profile that exists is read: showing a file writes nothing, not even a new profile.
  const std::string home = platform::HomeDirectoryFor(options.home);
  if (platform::FileSize(home + "Zelk.ini")) {
    std::string error;
    std::optional<Session> opened = OpenSession(options.home, error);
    if (!opened) return Fail(error);
    session = std::move(*opened);
  }
  const store::ParseContext context =
      config::ParseContextFor(session.settings, session.zone.Offset(session.settings.TimeZone, session.clock));
  CommandWindow window(std::move(session));
  if (window.state.table.boxes.empty()) store::Init(window.state.table);
  // Shown as from the Savebox, with no account of its own: nobody's address is left out.
  window.state.table.selected = store::kSaveboxIndex;
  auto item = std::make_shared<store::MailItem>();
  store::ParseMessage(*item, AsReceived(*file), std::nullopt, context);
  item->Download = 1;
  viewer::ShownMessage shown;
  viewer::ShowItem(shown, window.state, item, request.source, window.ports);
  return Output(shown, request, window.state);
}

int ShowRow(const GlobalOptions& options, const ShowRequest& request) {
  const int row = platform::ReadDecimal(request.words[1]) - 1;
  std::string error;
  std::optional<Session> session = OpenSession(options.home, error);
  if (!session) return Fail(error);
  CommandWindow window(std::move(*session));
  const int index = store::FindMailBox(window.state.table, request.words[0]);
  if (index < 0) return Fail("No such mailbox: " + request.words[0]);
  ui::SelectMailbox(window.state, index, window.ports);
  const store::ItemRef item = viewer::ItemOfRow(window.state.list, row);
  if (!item) return Fail("No row " + request.words[1] + " in " + request.words[0]);
  viewer::ShownMessage shown;
  // A message whose text is not here shows its header pane alone.
  viewer::ShowItem(shown, window.state, item, request.source, window.ports);
  const int status = Output(shown, request, window.state);
  // As the program does when it ends, so that successive runs behave like one long run.
  if (!window.SaveLikeAnExit()) return 1;
  return status;
}

bool IsNumber(const std::string& word) {
  return !word.empty() && word.size() < 9 && word.find_first_not_of("0123456789") == std::string::npos;
}

std::optional<ShowRequest> ParseShowRequest(const std::vector<std::string>& args) {
  ShowRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool fileFollows = i + 1 < args.size() && !args[i + 1].starts_with("-");
    if (arg == "--source") {
      request.source = true;
    } else if (arg == "--file" && i + 1 < args.size() && !request.file) {
      request.file = args[++i];
    } else if (arg == "--save-attachment" && i + 1 < args.size() && IsNumber(args[i + 1]) && !request.attachment) {
      request.attachment = platform::ReadDecimal(args[++i]);
      if (i + 1 < args.size() && !args[i + 1].starts_with("-")) request.savePath = args[++i];
    } else if (arg == "--save-text" && !request.saveText) {
      request.saveText = "";
      if (fileFollows) request.savePath = args[++i];
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      request.words.push_back(arg);
    }
  }
  if (request.attachment && request.saveText) return std::nullopt;
  if (request.file ? !request.words.empty() : request.words.size() != 2 || !IsNumber(request.words[1])) {
    return std::nullopt;
  }
  return request;
}

}  // namespace

int ShowCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
  const std::optional<ShowRequest> request = ParseShowRequest(args);
  if (!request) return 2;
  return request->file ? ShowFile(options, *request) : ShowRow(options, *request);
}

}  // namespace zelk::cli
