#pragma once
#include <bitset>
#include <cstddef>

// Which of the main window's commands can be chosen, from the window's state alone. Refreshed
// after every change of selection, conversation or cycle.
namespace zelk::ui {

enum class Command {
  kAccountEdit,
  kAccountDelete,
  kInitialise,
  kMoveUp,
  kMoveDown,
  kDialUpConnect,
  kDialUpDisconnect,
  kOpen,
  kReply,
  kCheck,
  kCheckAll,
  kUpdate,
  kUpdateAll,
  kStop,
  kMarkForDownload,
  kCancelMark,
  kCopyToSavebox,
  kMarkForDelete,
  kMarkAsRead,
  kMarkAsUnread,
  kDeleteFromList,
  kCount
};

struct CommandInputs {
  int selectedMailbox = 0;      // table index of the mailbox shown
  int accountCount = 0;
  int conversationMailbox = -1; // the mailbox a conversation serves, -1 for none
  bool idle = true;             // no conversation and no cycle busy
  bool rowSelected = false;
  int EnableLAN = 0;
  int selectedRasMode = 0;      // RasMode of the selected mailbox (0 for the local folders)
};

class CommandStates {
 public:
  bool Enabled(Command command) const { return enabled_[static_cast<std::size_t>(command)]; }
  void Set(Command command, bool on) { enabled_[static_cast<std::size_t>(command)] = on; }

 private:
  std::bitset<static_cast<std::size_t>(Command::kCount)> enabled_;
};

CommandStates EnabledCommands(const CommandInputs& in);

}  // namespace zelk::ui
