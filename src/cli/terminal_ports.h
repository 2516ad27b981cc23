#pragma once
#include <optional>
#include <string>

#include "net/conversation.h"
#include "ui/ports.h"

namespace zelk::cli {

// The ports on a terminal: errors and notices go to stderr, questions are answered by the
// command's flags, the password is asked on the terminal when there is one, and the list, tray
// and cursor have nothing to show.
class TerminalPorts final : public ui::DialogPort,
                            public ui::StatusPort,
                            public ui::ListViewPort,
                            public ui::ShellPort {
 public:
  // What Yes/No questions get (e.g. --yes); without it, No, as nobody can answer.
  bool answerYes = false;
  // The first error a message box showed: the command's failure text.
  std::optional<ui::Text> error;

  ui::Answer ShowMessage(const ui::Text& title, const ui::Text& text, ui::MessageIcon icon, ui::MessageButtons buttons,
                         bool defaultNo) override;
  std::optional<Password> AskPassword(const ui::Text& title) override;
  void SetStatusText(int, const ui::Text&) override {}
  void ExpectRows(int) override {}
  void InsertRow(int) override {}
  void DeleteAllRows() override {}
  void DeleteRow(int) override {}
  void RedrawRow(int) override {}
  void SelectRow(int, bool) override {}
  void ScrollToRow(int) override {}
  void SuspendRedraw() override {}
  void ResumeRedraw() override {}
  void ListChanged() override {}
  void RefreshCommandStates() override {}
  void SetTrayState(ui::TrayState) override {}
  void SetWaitCursor(bool) override {}
  bool ShiftHeld() const override { return false; }
  void PlaySound(const ui::Text&) override {}
};

}  // namespace zelk::cli
