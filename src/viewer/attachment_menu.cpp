#include "viewer/attachment_menu.h"

namespace zelk::viewer {

namespace {

// The whole body as its one part, as a single-part message is read.
bool IsWholeBody(const std::vector<mime::MimePart>& parts) {
  return parts.size() == 1 && parts[0].bodyStart == 0 && !parts[0].bodyEnd && parts[0].contentType;
}

}  // namespace

platform::Text AttachmentLabel(const mime::MimePart& part) {
  if (part.fileName && !part.fileName->empty()) return *part.fileName;
  const platform::Text type = part.contentType.value_or("");
  const platform::Text cut = type.substr(0, type.find(';'));
  return cut.empty() ? "Attach" : cut;
}

const char* ViewTextLabel(bool narrowScreen) { return narrowScreen ? "&Show text" : "&View text"; }

AttachmentMenu AttachmentMenuFor(const std::vector<mime::MimePart>& parts, const store::MailItem& item, bool source) {
  AttachmentMenu menu;
  if (parts.size() == 1 && source) {
    menu.viewText = true;
    return menu;
  }
  if (IsWholeBody(parts) && mime::IsTextPart(parts[0])) return menu;
  // A single-part message that is no text (an image sent alone) falls through: it is offered
  // for saving like any attachment, or its bytes could not be had at all.
  bool textPartSeen = false;
  bool othersStarted = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const mime::MimePart& part = parts[i];
    if (!textPartSeen && mime::IsTextPart(part)) {
      textPartSeen = true;
      if (parts.size() == 1 && item.Multipart == 1) menu.viewSource = true;
      continue;
    }
    if (!othersStarted) {
      othersStarted = true;
      // Only a multipart body has a source of its own to show and attachments to cut away.
      if (parts.size() > 1 && item.Multipart == 1) menu.viewSource = menu.deleteAttach = true;
      menu.separator = true;
    }
    // A part with no end before the body's end was cut off with the message; the whole body
    // offered as a file (bodyStart 0) is complete.
    const bool complete = i == 0 || part.bodyEnd.has_value() || part.bodyStart == 0;
    menu.attachments.push_back({kFirstAttachmentCommand + static_cast<int>(i), AttachmentLabel(part), complete});
  }
  return menu;
}

std::optional<std::size_t> PartOfCommand(int command, std::size_t partCount) {
  if (command < kFirstAttachmentCommand) return std::nullopt;
  const auto part = static_cast<std::size_t>(command - kFirstAttachmentCommand);
  if (part >= partCount) return std::nullopt;
  return part;
}

}  // namespace zelk::viewer
