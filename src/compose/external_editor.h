#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/code_page.h"
#include "platform/process.h"

// The body handed to the user's own editor: written to a file in the data folder, the editor
// watched until it ends, the file read back as the new body and removed in every case.
namespace zelk::compose {

// DefEditApp 1 makes the external editor the default and Shift the way to the window; 0 the
// other way round.
bool UsesExternalEditor(int defEditApp, bool shiftHeld);

// The data folder (ending in "/") + "$zelk_edit." + EditFileSuffix.
std::string ExternalEditorFile(const std::string& dataDirectory, const platform::Text& suffix);

// What the environment says about the user's editor. The program reads it once from its own
// process; tests give it directly.
struct EditorEnvironment {
  std::optional<std::string> visual, editor;  // $VISUAL and $EDITOR, bytes as the environment holds them
  bool terminalFound = true;                  // x-terminal-emulator is on PATH
};
EditorEnvironment EditorEnvironmentOfProcess();

// The editor's argument vector, for a start without a shell:
//   - EditApp with EditAppCmdLine cut into arguments ("%1" the file, "%%" a "%"; the file alone
//     when the command line is empty);
//   - without EditApp, $VISUAL (else $EDITOR) when set and not blank, split at blanks, in a
//     terminal: "x-terminal-emulator" "-e" editor... file. Those editors want a terminal and this
//     program's standard input is none;
//   - otherwise, and when there is no terminal program, the desktop's program for the file
//     ("xdg-open").
std::vector<std::string> ExternalEditorCommand(const platform::Text& editApp, const platform::Text& commandLine,
                                               const std::string& file, const EditorEnvironment& environment);

// One running external edit: the file and the editor's process. The edit ends when that process
// ends, so an opener or terminal that hands the file on and returns at once ends it early.
class ExternalEdit {
 public:
  // Writes the stored body to `file` as the user should see it (the stored escapes of line-initial
  // dots undone, LF line ends, the local code page; no body gives an empty file): a fresh file of
  // mode 0600 renamed over the name, so a link planted there is replaced, never followed. Then
  // starts argv (argv[0] searched on PATH). Nothing when writing or starting failed; the file is
  // then gone.
  static std::unique_ptr<ExternalEdit> Start(const std::optional<platform::Text>& storedBody,
                                             const std::vector<std::string>& argv, std::string file);
  // Removes the file. An editor still running is left to the user and reaped when it ends.
  ~ExternalEdit();
  ExternalEdit(const ExternalEdit&) = delete;
  ExternalEdit& operator=(const ExternalEdit&) = delete;

  // True once the editor has ended; never waits, so a timer can poll it.
  bool Ended();
  // The file's text as a stored body (StoredBody: CR LF line ends, wrapped, escaped). Nothing when
  // the file cannot be read, e.g. the editor deleted it.
  std::optional<platform::Text> ReadBack(const config::Settings& settings) const;
  const std::string& file() const { return file_; }

 private:
  ExternalEdit(std::string file, std::unique_ptr<platform::WatchedProcess> process)
      : file_(std::move(file)), process_(std::move(process)) {}

  std::string file_;
  std::unique_ptr<platform::WatchedProcess> process_;
};

}  // namespace zelk::compose
