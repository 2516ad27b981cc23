#pragma once
#include <optional>

#include "ui/command_states.h"
#include "ui/network_commands.h"
#include "ui/program_state.h"

// The main window's rules that read the window's whole state: which commands can be chosen now,
// what Open and Enter do to a row, where Space goes in an empty list, and the order commands,
// which the settings keep for the next start.
namespace zelk::ui {

// The command states from the mailbox shown, the accounts, the network's work and the selection.
CommandStates CurrentCommandStates(const ProgramState& state, const NetworkCommands& network, bool rowSelected);

// The status bar's counts for the mailbox shown: part 0 "View %d/ Server %d" (accounts) or
// "View %d"; part 1, only while the network is idle, "New %d, Unread %d" for an account and
// empty for the local folders.
struct StatusCounts {
  platform::Text view;
  std::optional<platform::Text> idle;
};
StatusCounts CountsFor(const ProgramState& state, bool networkIdle);

inline constexpr char kBodyNotDownloadedText[] =
    "Message body not downloaded. Cannot be opened\n\nMark it and update server to download body";

enum class OpenAction {
  kNothing,
  kComposer,            // an Outbox message: edited again
  kBodyNotDownloaded,   // an account's header only: the message above, titled "Open"
  kViewer,
  kToggleDownloadMark,  // Enter, a double click or Space on an account's header only
};
enum class OpenBy { kCommand, kEnterKey };

OpenAction OpenActionFor(const ProgramState& state, int row, OpenBy by);

// Space in an empty list with MoveAllMailBox 1: the next account holding unread mail, searched
// from the account after the shown one to the last, then from the first; -1 for none.
int NextAccountWithUnreadMail(const ProgramState& state);

// A click on the header of column 0..3, "Sort by icon" and "Thread mode": the shown list in the
// new order, LvSortItem and LvThreadView stored in the settings.
void SortByColumn(ProgramState& state, int column);
void SortByIcon(ProgramState& state);
void SetThreadMode(ProgramState& state, bool on);

}  // namespace zelk::ui
