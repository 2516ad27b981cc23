#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "mime/multipart.h"
#include "platform/code_page.h"
#include "store/mailbox_table.h"
#include "ui/program_state.h"
#include "viewer/attachment_menu.h"

// What the viewer window shows of a message besides its header pane: the title and the text.
namespace zelk::viewer {

inline constexpr std::size_t kTitleUnits = 256;
// The text pane holds the start of a longer text only: a pane that edits megabytes is slow to
// fill and to scroll, and nobody reads that far in a viewer.
inline constexpr std::size_t kShownTextUnits = 30000;

// "Mail View - " + the mailbox shown in the main window, then " (" + the item's MailBoxName + ")"
// or " - [No.%d]" with its server number; at most 256 UTF-16 units.
platform::Text ViewerTitle(const store::MailBox& shownMailbox, const store::MailItem& item);

// The display text as the text pane holds it: its first 30000 units, with LF line ends (the
// positions the pane reports count in this text).
platform::Text PaneText(std::string_view displayText);

// The reader's own address, which the header pane's To group leaves out: the account's, or for
// the Savebox the one of the account the message was copied from. Nothing when unknown.
store::OptionalText ReaderAddress(const store::MailBoxTable& table, int mailbox, const store::MailItem& item);

// The message in the viewer and everything worked out for it at its last display.
struct ShownMessage {
  store::ItemRef item;  // held, so that a message deleted from its list meanwhile stays readable
  int mailbox = -1;     // the mailbox shown in the main window when it was displayed
  bool source = false;
  std::vector<mime::MimePart> parts;  // positions into the item's Body, for the attachment commands
  const char* partsBody = nullptr;    // the Body the positions were read from, and its size
  std::size_t partsBodySize = 0;
  platform::Text title;
  platform::Text header;  // the header pane, lines joined by CR LF
  platform::Text pane;    // the text pane
  AttachmentMenu menu;
};

// The item a row of the list shows, held; null for none.
store::ItemRef ItemOfRow(const store::ListModel& list, int row);

// The viewer shows only messages whose text is here, at least their first lines.
bool CanShow(const store::MailItem* item);

// Displays an item of the mailbox selected in the main window: marks it read (its row is
// redrawn) and works out the title, the header pane, the text and the attachment entries.
void ShowItem(ShownMessage& shown, ui::ProgramState& state, const store::ItemRef& item, bool source,
              ui::WindowPorts& ports);

// Commands on the shown message need it still in the mailbox it was shown from ("No Mail in the
// list" otherwise).
bool StillInViewedMailbox(const ShownMessage& shown, const store::MailBoxTable& table);

// The parts still describe the item's Body: an update that fetched the whole message meanwhile
// replaced it, and positions into the old text would save the wrong bytes.
bool PartsStillValid(const ShownMessage& shown);
inline constexpr char kNoMailInList[] = "No Mail in the list";

}  // namespace zelk::viewer
