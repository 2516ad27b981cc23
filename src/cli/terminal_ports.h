#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/commands.h"
#include "net/conversation.h"
#include "ui/ports.h"

namespace zelk::cli {

// The ports on a terminal: errors and notices go to stderr, questions are answered by the
// command's flags, the password is asked on the terminal when there is one, and the list, tray
// and cursor have nothing to show.
class TerminalPorts final : public ui::DialogPort,
                            public ui::StatusPort,
                            public ui::QuietListView,
                            public ui::QuietShell {
 public:
  // What Yes/No questions get (e.g. --yes); without it, No, as nobody can answer.
  bool answerYes = false;
  // The first error a message box showed: the command's failure text.
  std::optional<ui::Text> error;
  // How many error boxes were shown (printed) so far.
  int errorsShown = 0;
  // The titles of the password prompts nobody answered: those conversations never started.
  std::vector<ui::Text> passwordsRefused;

  ui::Answer ShowMessage(const ui::Text& title, const ui::Text& text, ui::MessageIcon icon, ui::MessageButtons buttons,
                         bool defaultNo) override;
  std::optional<Password> AskPassword(const ui::Text& title) override;
  // Status part 1 texts: the conversations' progress, and where an error that a cycle goes on past
  // is shown. Called with each, when set.
  std::function<void(const ui::Text&)> statusShown;

  void SetStatusText(int part, const ui::Text& text) override {
    if (part == 1 && statusShown) statusShown(text);
  }
};

// The main window of the network commands on a terminal: never visible, so the commands keep
// nothing on screen; the printed rows stand for the new-mail notice.
class TerminalWindow final : public net::WindowPort {
 public:
  // Called when a conversation's counts are shown: the server closed after QUIT, the normal end.
  std::function<void()> countsShown;

  void SetTitle(const platform::Text&) override {}
  bool Visible() const override { return false; }
  bool InFront() const override { return false; }
  void ShowAndRaise() override {}
  void ShowMailBox(int) override {}
  void ShowCounts() override {
    if (countsShown) countsShown();
  }
  void ResortList() override {}
  void ShowNewMailNotice(bool) override {}
  void HideNewMailNotice() override {}
};

}  // namespace zelk::cli
