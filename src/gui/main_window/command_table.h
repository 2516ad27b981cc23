#pragma once
#include <QKeySequence>
#include <QList>
#include <optional>
#include <span>
#include <vector>

#include "ui/command_states.h"

namespace zelk::gui {

// Every command of the main window, for its menus, tool bar, keys and tray menu.
enum class MenuCommand {
  kNewMessage, kOpen, kReply, kMarkForDownload, kToggleDownloadMark, kMarkForDelete, kCancelMark, kMarkAsRead,
  kMarkAsUnread, kCopy, kDeleteFromList, kSelectAll, kSortByIcon, kThreadMode, kSwitchAccounts, kAccountAdd,
  kAccountEdit, kAccountDelete, kMoveUp, kMoveDown, kInitialise, kAddressBook, kOptions, kCheck, kCheckAll,
  kUpdate, kUpdateAll, kStop, kDialUpConnect, kDialUpDisconnect, kLan, kFind, kFindNext, kPreviousMailbox,
  kNextMailbox, kTab, kMenuKey, kShowWindow, kAbout, kExit,
};

struct CommandEntry {
  MenuCommand command;
  const char* text;         // the normal menu's text
  const char* compactText;  // the compact menu's; null: the same
  QList<QKeySequence> keys;
  std::optional<ui::Command> enabledBy;  // null: always enabled
  const char* icon = nullptr;            // tool bar picture
  const char* toolTip = nullptr;
  bool checkable = false;
};

std::span<const CommandEntry> CommandTable();
const CommandEntry& EntryOf(MenuCommand command);

// The menus of the command bar, as lists of commands with separators between groups.
struct MenuLayout {
  const char* title;
  std::span<const std::optional<MenuCommand>> items;  // nullopt: a separator
};
std::span<const MenuLayout> NormalMenus();
std::span<const MenuLayout> CompactMenus();
// The position of the Mail menu, which is also the list's context menu.
int MailMenuPosition(bool compact);

// The tool bar's buttons left to right for a window `width` pixels wide; nullopt: a separator.
std::vector<std::optional<MenuCommand>> ToolBarButtons(int width);
inline constexpr int kCompactWidth = 450;  // narrower: the compact menu, no New message button
inline constexpr int kDialUpButtonsWidth = 640;

}  // namespace zelk::gui
