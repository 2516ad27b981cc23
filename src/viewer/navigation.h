#pragma once
#include "ui/program_state.h"

// Moving the viewer through the list of the main window, and on to other accounts.
namespace zelk::viewer {

enum class Move {
  kPrevious,    // the nearest row above with a body
  kNext,        // the nearest row below with a body
  kNextUnread,  // an unread row below, else above, else (MoveAllMailBox) in another account
};

struct MoveTarget {
  int row = -1;                   // in state.list; -1 for none
  bool switchedMailbox = false;   // another account was selected in the main window for it
};

// The row to show after `currentRow` (the row of the message shown; -1 when it has none). For
// kNextUnread with nothing unread in the list and MoveAllMailBox 1, the accounts after the
// selected one are searched, then those before it (never the local folders); the one found is
// selected in the main window. Nothing moves while the Outbox is shown.
MoveTarget FindMoveTarget(ui::ProgramState& state, int currentRow, Move move, ui::WindowPorts& ports);

}  // namespace zelk::viewer
