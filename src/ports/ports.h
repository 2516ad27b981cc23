#pragma once
#include <optional>
#include <string>

#include "platform/code_page.h"

// What the core asks of whatever shows the program: a window (the Qt program), a terminal
// (zelk-cli) or a test's script. Each port is small; a front-end implements the ones it shows.
namespace zelk::ports {

using platform::Text;

enum class MessageIcon { kNone, kInformation, kQuestion, kExclamation, kError };
enum class MessageButtons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

// Message boxes, questions and the password prompt.
class DialogPort {
 public:
  virtual ~DialogPort() = default;
  // For Yes/No, `defaultNo` makes No the answer Enter gives.
  virtual Answer ShowMessage(const Text& title, const Text& text, MessageIcon icon, MessageButtons buttons,
                             bool defaultNo = false) = 0;
  struct Password {
    Text password;
    bool doNotSave = true;  // "Do not save password", ticked at first
  };
  // Nothing when the user cancels.
  virtual std::optional<Password> AskPassword(const Text& title) = 0;
};

// The two parts of the status bar: 0 the counts, 1 what the network is doing.
class StatusPort {
 public:
  virtual ~StatusPort() = default;
  virtual void SetStatusText(int part, const Text& text) = 0;
};

// How the shown message list follows the changes to the shown mailbox. Rows are positions in the
// list as shown. Removals and resets come in pairs, so that an item model can follow them: before,
// the rows and their items are all still there for a view that asks about them; after, the rows
// are what the list now holds.
class ListViewPort {
 public:
  virtual ~ListViewPort() = default;
  virtual void ExpectRows(int count) = 0;  // room for that many rows is coming
  virtual void InsertRow(int row) = 0;
  // Every row is about to change (a mailbox emptied or another one shown), and now has.
  virtual void ResettingRows() = 0;
  virtual void RowsReset() = 0;
  virtual void RemovingRow(int row) = 0;
  virtual void RowRemoved(int row) = 0;  // the rows below it have moved up by one
  virtual void RedrawRow(int row) = 0;
  virtual void SelectRow(int row, bool focus) = 0;
  virtual void ScrollToRow(int row) = 0;
  virtual void SuspendRedraw() = 0;
  virtual void ResumeRedraw() = 0;
  virtual void ListChanged() = 0;  // re-sort when the work ends
};

enum class TrayState { kNormal, kBusy, kNewMail };

// The rest of the window's outward state.
class ShellPort {
 public:
  virtual ~ShellPort() = default;
  virtual void RefreshCommandStates() = 0;
  virtual void SetTrayState(TrayState state) = 0;
  virtual void SetWaitCursor(bool wait) = 0;
  virtual bool ShiftHeld() const = 0;
  // A sound file, or the system's default sound for an empty name.
  virtual void PlaySound(const Text& file) = 0;
};

// For where no list is on screen (a terminal, a test run): every change is let pass.
class QuietListView : public ListViewPort {
 public:
  void ExpectRows(int) override {}
  void InsertRow(int) override {}
  void ResettingRows() override {}
  void RowsReset() override {}
  void RemovingRow(int) override {}
  void RowRemoved(int) override {}
  void RedrawRow(int) override {}
  void SelectRow(int, bool) override {}
  void ScrollToRow(int) override {}
  void SuspendRedraw() override {}
  void ResumeRedraw() override {}
  void ListChanged() override {}
};

// For where there is no window, tray or sound: Shift is never held.
class QuietShell : public ShellPort {
 public:
  void RefreshCommandStates() override {}
  void SetTrayState(TrayState) override {}
  void SetWaitCursor(bool) override {}
  bool ShiftHeld() const override { return false; }
  void PlaySound(const Text&) override {}
};

}  // namespace zelk::ports
