#include "gui/main_window/command_table.h"

#include <array>
#include <stdexcept>

namespace zelk::gui {

namespace {

using ui::Command;
using M = MenuCommand;
using K = QKeySequence;

const std::array<CommandEntry, 40> kCommands = {{
    {M::kNewMessage, "&New message...", "&New message", {K("Ctrl+W"), K("Ctrl+Shift+W")}, {}, "new-message",
     "New message"},
    {M::kOpen, "&Open", nullptr, {}, Command::kOpen},
    {M::kReply, "&Reply...", "&Reply", {K("Ctrl+R"), K("Ctrl+Shift+R")}, Command::kReply},
    {M::kMarkForDownload, "&Mark for download", nullptr, {K("Ctrl+D")}, Command::kMarkForDownload},
    {M::kToggleDownloadMark, "Toggle download mark", nullptr, {K("Ctrl+Return"), K("Ctrl+Enter")},
     Command::kMarkForDownload},
    {M::kMarkForDelete, "Mark for &delete", nullptr, {K("Ctrl+Delete")}, Command::kMarkForDelete},
    {M::kCancelMark, "&Cancel mark", nullptr, {K("Ctrl+U")}, Command::kCancelMark},
    {M::kMarkAsRead, "Mark as r&ead", nullptr, {K("Ctrl+B")}, Command::kMarkAsRead},
    {M::kMarkAsUnread, "Mark as u&nread", nullptr, {K("Ctrl+Shift+B")}, Command::kMarkAsUnread},
    {M::kCopy, "Copy to &Savebox", nullptr, {K("Ctrl+C")}, Command::kCopyToSavebox},
    {M::kDeleteFromList, "Delete from &list", nullptr, {K("Delete")}, Command::kDeleteFromList},
    {M::kSelectAll, "Select &all", nullptr, {K("Ctrl+A")}, {}},
    {M::kSortByIcon, "Sort by &icon", nullptr, {}, {}},
    {M::kThreadMode, "&Thread mode", nullptr, {K("Ctrl+T")}, {}, nullptr, nullptr, true},
    {M::kSwitchAccounts, "S&witch accounts", nullptr, {}, {}},
    {M::kAccountAdd, "&Add...", "Account &add", {}, {}},
    {M::kAccountEdit, "&Edit...", "Account &edit", {}, Command::kAccountEdit},
    {M::kAccountDelete, "&Delete", "Account &delete", {}, Command::kAccountDelete},
    {M::kMoveUp, "Move &up", nullptr, {}, Command::kMoveUp},
    {M::kMoveDown, "Move do&wn", nullptr, {}, Command::kMoveDown},
    {M::kInitialise, "&Initialise...", nullptr, {}, Command::kInitialise},
    {M::kAddressBook, "Address &book...", nullptr, {}, {}},
    {M::kOptions, "&Options...", nullptr, {}, {}},
    {M::kCheck, "Check for &new mail", nullptr, {K("Ctrl+N")}, Command::kCheck, "check", "Check for new mail"},
    {M::kCheckAll, "Check &all accounts", nullptr, {K("Ctrl+J")}, Command::kCheckAll, "check-all",
     "Check all accounts"},
    {M::kUpdate, "&Update account", nullptr, {K("Ctrl+E"), K("Ctrl+Shift+E"), K("F5"), K("Shift+F5")},
     Command::kUpdate, "update", "Update account"},
    {M::kUpdateAll, "Update all accoun&ts", nullptr,
     {K("Ctrl+G"), K("Ctrl+Shift+G"), K("Ctrl+F5"), K("Ctrl+Shift+F5")}, Command::kUpdateAll, "update-all",
     "Update all accounts"},
    {M::kStop, "&Stop", nullptr, {K("Ctrl+S")}, Command::kStop, "stop", "Stop"},
    {M::kDialUpConnect, "Dial-up &connect", nullptr, {}, Command::kDialUpConnect, "dial-up-connect",
     "Dial-up connect"},
    {M::kDialUpDisconnect, "Dial-up &disconnect", nullptr, {}, Command::kDialUpDisconnect, "dial-up-disconnect",
     "Dial-up disconnect"},
    {M::kLan, "&LAN", nullptr, {}, {}, nullptr, nullptr, true},
    {M::kFind, "&Find...", nullptr, {K("Ctrl+F")}, {}},
    {M::kFindNext, "Find ne&xt", nullptr, {K("F3")}, {}},
    {M::kPreviousMailbox, "&Previous mailbox", nullptr, {K("Alt+Up")}, {}},
    {M::kNextMailbox, "Ne&xt mailbox", nullptr, {K("Alt+Down")}, {}},
    {M::kTab, "Switch focus", nullptr, {K("F6"), K("Shift+F6"), K("Ctrl+Tab")}, {}},
    {M::kMenuKey, "Mail menu", nullptr, {K("Escape"), K("Menu"), K("Shift+F10")}, {}},
    {M::kShowWindow, "Show &window", nullptr, {}, {}},
    {M::kAbout, "&About...", nullptr, {}, {}},
    {M::kExit, "E&xit", nullptr, {}, {}},
}};

using Item = std::optional<MenuCommand>;
constexpr Item kSeparator = std::nullopt;

constexpr std::array<Item, 10> kFileMenu = {M::kNewMessage, kSeparator, M::kAddressBook, M::kOptions, kSeparator,
                                            M::kDialUpConnect, M::kDialUpDisconnect, M::kLan, kSeparator, M::kExit};
constexpr std::array<Item, 11> kAccountMenu = {M::kSwitchAccounts, M::kPreviousMailbox, M::kNextMailbox, kSeparator,
                                               M::kAccountAdd, M::kAccountEdit, M::kAccountDelete, M::kMoveUp,
                                               M::kMoveDown, kSeparator, M::kInitialise};
constexpr std::array<Item, 5> kServerMenu = {M::kCheck, M::kCheckAll, M::kUpdate, M::kUpdateAll, M::kStop};
constexpr std::array<Item, 18> kMailMenu = {
    M::kOpen, M::kReply, kSeparator, M::kMarkForDownload, M::kMarkForDelete, M::kCancelMark, M::kMarkAsRead,
    M::kMarkAsUnread, kSeparator, M::kCopy, M::kDeleteFromList, kSeparator, M::kSelectAll, M::kFind, M::kFindNext,
    kSeparator, M::kSortByIcon, M::kThreadMode};
constexpr std::array<Item, 1> kHelpMenu = {M::kAbout};
// The compact layout keeps every command under two menus.
constexpr std::array<Item, 26> kCompactFileMenu = {
    M::kCheck, M::kCheckAll, M::kUpdate, M::kUpdateAll, M::kStop, kSeparator, M::kNewMessage, M::kAddressBook,
    kSeparator, M::kSwitchAccounts, M::kPreviousMailbox, M::kNextMailbox, M::kAccountAdd, M::kAccountEdit,
    M::kAccountDelete, M::kMoveUp, M::kMoveDown, M::kInitialise, kSeparator, M::kOptions, M::kDialUpConnect,
    M::kDialUpDisconnect, M::kLan, kSeparator, M::kAbout, M::kExit};

const std::array<MenuLayout, 5> kNormal = {{{"&File", kFileMenu},
                                            {"&Account", kAccountMenu},
                                            {"&Server", kServerMenu},
                                            {"&Mail", kMailMenu},
                                            {"&Help", kHelpMenu}}};
const std::array<MenuLayout, 2> kCompact = {{{"&File", kCompactFileMenu}, {"&Mail", kMailMenu}}};

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

const CommandEntry& EntryOf(MenuCommand command) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.command == command) return entry;
  }
  throw std::logic_error("a command without an entry");
}

std::span<const MenuLayout> NormalMenus() { return kNormal; }
std::span<const MenuLayout> CompactMenus() { return kCompact; }
int MailMenuPosition(bool compact) { return compact ? 1 : 3; }

std::vector<std::optional<MenuCommand>> ToolBarButtons(int width) {
  std::vector<Item> buttons = {kSeparator, M::kCheck, M::kCheckAll, M::kUpdate, M::kUpdateAll, M::kStop};
  if (width >= kCompactWidth) buttons.insert(buttons.end(), {kSeparator, M::kNewMessage});
  if (width >= kDialUpButtonsWidth) buttons.insert(buttons.end(), {kSeparator, M::kDialUpConnect, M::kDialUpDisconnect});
  return buttons;
}

}  // namespace zelk::gui
