#pragma once
#include <array>

#include "ports/ports.h"
#include "ui/program_state.h"

namespace zelk::ui {

// What the end of the program asks of the rest of the window and the network.
class ExitPort {
 public:
  virtual ~ExitPort() = default;
  // Cuts a running conversation short (RSET and QUIT, not waiting for replies; a lookup or connect
  // under way is dropped); true when a connection was open. The network part is ui::NetworkCommands: CutShortForExit, Dialing
  // and HangUp.
  virtual bool StopConversation() = 0;
  // A dial-up connection is being dialled.
  virtual bool Dialing() const = 0;
  virtual void HangUp() = 0;
  // Closes the viewer and every composer; composers keep their text.
  virtual void CloseViewerAndComposers() = 0;
  // The list's column widths as the user left them: subject, from/to, date, size.
  virtual std::array<int, 4> ColumnWidths() const = 0;
};

// Exit up to the point where everything is written: the conversation stopped, the line hung up as
// the settings say, the other windows closed, the local folders' files written, then the profile
// with the column widths and every account's mailbox file. When a write fails the user is asked
// "Save File error \nContinue?"; No keeps the program running (false), with every mailbox as it
// was. True: the caller tears the window down.
bool RunExitSequence(ProgramState& state, ExitPort& exit, ports::DialogPort& dialogs, ports::ShellPort& shell);

}  // namespace zelk::ui
