// zelk-cli compose: a new message or a reply built as the composer builds it, stored in the Outbox
// unmarked. The text typed in the composer comes from stdin here, when stdin is not a terminal.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "cli/commands.h"
#include "cli/session.h"
#include "compose/mailto.h"
#include "compose/new_message.h"
#include "compose/outbox.h"
#include "compose/property_pages.h"
#include "mime/display_text.h"
#include "platform/decimal.h"
#include "store/list_model.h"
#include "ui/save_all.h"

namespace zelk::cli {

namespace {

struct ComposeOptions {
  std::optional<std::string> account;
  std::vector<std::string> attach;
  std::optional<std::string> subject;
  std::optional<std::string> text;  // a "mailto:" URL or an address list
  std::optional<std::string> replyBox;
  int replyRow = 0;
  bool replyToAll = false;
  std::optional<bool> quote;
};

std::optional<ComposeOptions> ParseOptions(const std::vector<std::string>& args) {
  ComposeOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--account" && hasValue) {
      options.account = args[++i];
    } else if (arg == "--attach" && hasValue) {
      options.attach.push_back(args[++i]);
    } else if (arg == "--subject" && hasValue) {
      options.subject = args[++i];
    } else if (arg == "--reply" && i + 2 < args.size()) {
      options.replyBox = args[++i];
      const std::string& row = args[++i];
      if (row.empty() || row.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      options.replyRow = platform::ReadDecimal(row);
    } else if (arg == "--all") {
      options.replyToAll = true;
    } else if (arg == "--quote" || arg == "--no-quote") {
      options.quote = arg == "--quote";
    } else if (arg.starts_with("--") || options.text) {
      return std::nullopt;
    } else {
      options.text = arg;
    }
  }
  // A reply takes its recipients from the answered message; a new message needs them given.
  if (options.replyBox.has_value() == options.text.has_value()) return std::nullopt;
  if (!options.replyBox && (options.replyToAll || options.quote)) return std::nullopt;
  return options;
}

// What the user would have typed: stdin's text when it is not a terminal and holds something.
std::optional<platform::Text> TypedText() {
  if (::isatty(STDIN_FILENO)) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  if (bytes.empty()) return std::nullopt;
  return platform::LocalToText(bytes);
}

// The files a mailto: URL's attach= named, then those of --attach.
std::vector<std::string> AttachedFiles(const store::OptionalText& fromUrl, const std::vector<std::string>& given) {
  std::vector<std::string> files;
  for (const platform::Text& path : compose::AttachPaths(fromUrl)) files.push_back(platform::TextToLocal(path));
  files.insert(files.end(), given.begin(), given.end());
  return files;
}

// Full paths joined as the Attach page joins them; a file that is not there fails now rather
// than at sending time, and a relative path cannot come to name another file when the message
// is sent from another directory.
std::optional<store::OptionalText> AttachList(const std::vector<std::string>& files, std::string& error) {
  std::vector<platform::Text> paths;
  for (const std::string& file : files) {
    std::error_code failed;
    const std::filesystem::path path = std::filesystem::absolute(file, failed);
    if (failed || !std::filesystem::is_regular_file(path, failed)) {
      error = "Attached file was not found: " + file;
      return std::nullopt;
    }
    compose::AddAttachPath(paths, platform::LocalToText(path.string()));
  }
  return compose::JoinAttachPaths(paths);
}

}  // namespace

int ComposeCommand(const GlobalOptions& global, const std::vector<std::string>& args) {
  const std::optional<ComposeOptions> options = ParseOptions(args);
  if (!options) return 2;
  std::string error;
  std::optional<Session> session = OpenSession(global.home, error);
  if (!session) return Fail(error);
  store::MailBoxTable& table = session->table;
  const config::Settings& settings = session->settings;

  int account = -1;
  if (options->account) {
    account = store::FindMailBox(table, *options->account);
    if (account < store::kFirstAccountIndex) return Fail("No such account: " + *options->account);
  }
  store::ItemRef item;
  const store::MailItem* answered = nullptr;
  if (options->replyBox) {
    const int box = store::FindMailBox(table, *options->replyBox);
    if (box < 0) return Fail("No such mailbox: " + *options->replyBox);
    store::ListModel model;
    model.settings = ListSettingsOf(*session);
    store::SelectMailBox(model, *table.boxes[static_cast<std::size_t>(box)], store::KindOfMailBox(box));
    answered = store::ItemOfRow(model, options->replyRow - 1);
    if (answered == nullptr) return Fail("No row " + std::to_string(options->replyRow) + " in " + *options->replyBox);
    item = compose::NewReply(*answered, box, options->replyToAll, table, settings);
    if (item->Mark == 1) item->Mark = options->quote.value_or(settings.AutoQuotation == 1) ? 1 : 0;
  } else {
    item = compose::NewMessage(nullptr);
    compose::ParseMailtoText(*options->text, *item, compose::MailtoSource::kCommandLine);
  }
  // As the Property dialog preselects it: the account asked for, else the item's own, else the first.
  if (account < 0 && item->MailBoxName) {
    account = store::FindMailBox(table, *item->MailBoxName);
    if (account < store::kFirstAccountIndex) return Fail("No such account: " + *item->MailBoxName);
  }
  if (account < 0) account = store::kFirstAccountIndex;
  if (account >= static_cast<int>(table.boxes.size())) return Fail("There is no account");
  const std::optional<store::OptionalText> attach = AttachList(AttachedFiles(item->Attach, options->attach), error);
  if (!attach) return Fail(error);
  // What the Property dialog's OK does with the fields as given.
  compose::PropertyValues values = compose::PropertyValuesOf(*item, table, false, false);
  values.account = account - store::kFirstAccountIndex;
  if (options->subject) values.subject = *options->subject;
  values.attach = *attach;
  compose::ConfirmPropertyValues(*item, values, table);
  if (item->To.value_or("").empty() && item->Cc.value_or("").empty() && item->Bcc.value_or("").empty()) {
    return Fail("Destination not set");
  }
  compose::FinishStartingBody(*item, answered, table, settings);

  // The composer shows the body without its escapes and the user types above it.
  platform::Text edited = mime::UnescapeDots(item->Body.value_or(""));
  if (const std::optional<platform::Text> typed = TypedText()) {
    edited = *typed + (typed->ends_with('\n') || edited.empty() ? "" : "\r\n") + edited;
  }
  compose::StoreInOutbox(item, edited, table, account, settings);
  if (!ui::SaveAllFiles(session->home, settings, table)) return Fail("Save File error");

  store::ListModel outbox;
  outbox.settings = ListSettingsOf(*session);
  store::SelectMailBox(outbox, *table.boxes[store::kOutboxIndex], store::KindOfMailBox(store::kOutboxIndex));
  std::printf("Outbox row %d\n", store::RowOfItem(outbox, item.get()) + 1);
  return 0;
}

}  // namespace zelk::cli
