#pragma once
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "ui/network_commands.h"
#include "net/conversation.h"
#include "ports/ports.h"

namespace zelk::cli {

// The ports on a terminal: errors and notices go to stderr, questions are answered by the
// command's flags, the password is asked on the terminal when there is one, and the list, tray
// and cursor have nothing to show.
class TerminalPorts final : public ports::DialogPort,
                            public ports::StatusPort,
                            public ports::QuietListView,
                            public ports::QuietShell {
 public:
  // What Yes/No questions get (e.g. --yes); without it, No, as nobody can answer.
  bool answerYes = false;
  // The first error a message box showed: the command's failure text.
  std::optional<platform::Text> error;
  // How many error boxes were shown (printed) so far.
  int errorsShown = 0;
  // The titles of the password prompts nobody answered: those conversations never started.
  std::vector<platform::Text> passwordsRefused;

  ports::Answer ShowMessage(const platform::Text& title, const platform::Text& text, ports::MessageIcon icon, ports::MessageButtons buttons,
                         bool defaultNo) override;
  std::optional<Password> AskPassword(const platform::Text& title) override;
  // Status part 1 texts: the conversations' progress, and where an error that a cycle goes on past
  // is shown. Called with each, when set.
  std::function<void(const platform::Text&)> statusShown;

  void SetStatusText(int part, const platform::Text& text) override {
    if (part != 1) return;
    progress_.Show(text);
    if (statusShown) statusShown(text);
  }
  // The work is over: the progress line gives way to what is printed next.
  void EndProgress() { progress_.Clear(); }

 private:
  ProgressLine progress_{stderr, ::isatty(STDERR_FILENO) == 1};
};

// The main window of the network commands on a terminal: never visible, so the commands keep
// nothing on screen; the printed rows stand for the new-mail notice.
class TerminalWindow final : public ui::QuietWindow {
 public:
  // Called when a conversation's counts are shown: the server closed after QUIT, the normal end.
  std::function<void()> countsShown;

  void ShowCounts() override {
    if (countsShown) countsShown();
  }
};

}  // namespace zelk::cli
