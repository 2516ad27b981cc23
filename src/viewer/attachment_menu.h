#pragma once
#include <cstddef>
#include <optional>
#include <vector>

#include "mime/multipart.h"
#include "store/mail_item.h"

// The entries the viewer's Edit menu offers after its fixed ones, worked out from the parts of the
// message shown: switching between text and source, removing the attachments, saving each one.
namespace zelk::viewer {

inline constexpr int kFirstAttachmentCommand = 500;  // part i is saved by command 500 + i

// On a screen narrower than this the menus take their short forms.
inline constexpr int kNarrowScreenWidth = 450;

struct AttachmentEntry {
  int command;  // 500 + the part's index
  platform::Text label;
  bool enabled;  // false for a part that was cut off (only the message's first lines are here)
};

struct AttachmentMenu {
  bool viewText = false;      // "&View text" (the source is shown)
  bool viewSource = false;    // "&View source"
  bool deleteAttach = false;  // "&Delete attach"
  bool separator = false;     // before the attachment entries
  std::vector<AttachmentEntry> attachments;
};

// `parts` as GetDisplayText left them for the item, shown as source or not.
AttachmentMenu AttachmentMenuFor(const std::vector<mime::MimePart>& parts, const store::MailItem& item, bool source);

// The part's name on its menu entry: its file name, else its content type up to ";", else "Attach".
platform::Text AttachmentLabel(const mime::MimePart& part);

const char* ViewTextLabel(bool narrowScreen);

// The part a command saves; nothing for a command that names no part.
std::optional<std::size_t> PartOfCommand(int command, std::size_t partCount);

}  // namespace zelk::viewer
