#include "compose/external_editor.h"

#include <cstdlib>

#include "compose/command_line.h"
#include "compose/outbox.h"
#include "mime/display_text.h"
#include "platform/files.h"
#include "platform/line_breaks.h"

namespace zelk::compose {

namespace {

std::vector<std::string> BlankSeparatedWords(const std::optional<std::string>& text) {
  std::vector<std::string> words;
  if (!text) return words;
  std::string word;
  for (const char c : *text + ' ') {
    if (c != ' ' && c != '\t') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  return words;
}

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

bool UsesExternalEditor(int defEditApp, bool shiftHeld) { return UsesOtherProgram(defEditApp, shiftHeld); }

std::string ExternalEditorFile(const std::string& dataDirectory, const platform::Text& suffix) {
  return HandedOverFile(dataDirectory, "edit", suffix);
}

EditorEnvironment EditorEnvironmentOfProcess() {
  return {Variable("VISUAL"), Variable("EDITOR"), platform::FindProgram("x-terminal-emulator").has_value()};
}

std::vector<std::string> ExternalEditorCommand(const platform::Text& editApp, const platform::Text& commandLine,
                                               const std::string& file, const EditorEnvironment& environment) {
  if (!editApp.empty()) return UserProgramCommand(editApp, commandLine, file);
  std::vector<std::string> editor = BlankSeparatedWords(environment.visual);
  if (editor.empty()) editor = BlankSeparatedWords(environment.editor);
  if (editor.empty() || !environment.terminalFound) return {"xdg-open", file};
  std::vector<std::string> argv{"x-terminal-emulator", "-e"};
  argv.insert(argv.end(), editor.begin(), editor.end());
  argv.push_back(file);
  return argv;
}

std::unique_ptr<ExternalEdit> ExternalEdit::Start(const std::optional<platform::Text>& storedBody,
                                                  const std::vector<std::string>& argv, std::string file) {
  // Read back, the text is escaped again; written escaped, every edit would add a dot to each
  // line that begins with one.
  const std::string shown =
      platform::TextToLocal(platform::WithLfLineBreaks(mime::UnescapeDots(storedBody.value_or(platform::Text()))));
  if (!platform::WriteFileAtomically(file, shown)) {
    platform::DeleteFile(file);
    return nullptr;
  }
  std::unique_ptr<platform::WatchedProcess> process = platform::WatchedProcess::Start(argv);
  if (!process) {
    platform::DeleteFile(file);
    return nullptr;
  }
  return std::unique_ptr<ExternalEdit>(new ExternalEdit(std::move(file), std::move(process)));
}

ExternalEdit::~ExternalEdit() { platform::DeleteFile(file_); }

bool ExternalEdit::Ended() { return process_->Ended(); }

std::optional<platform::Text> ExternalEdit::ReadBack(const config::Settings& settings) const {
  const std::optional<std::string> bytes = platform::ReadWholeFile(file_);
  if (!bytes) return std::nullopt;
  return StoredBody(platform::LocalToText(*bytes), settings);
}

}  // namespace zelk::compose
