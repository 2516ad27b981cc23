#pragma once
#include <string>
#include <string_view>

#include "mime/multipart.h"
#include "store/mail_item.h"

// Saving what the viewer shows: the names it proposes and the message as a text file. Names come
// from mail, so they never make a path: every separator and control character is replaced, and
// "." and ".." are never a whole name.
namespace zelk::viewer {

inline constexpr std::size_t kAttachmentNameUnits = 206;
inline constexpr std::size_t kSubjectNameUnits = 205;

struct ProposedName {
  platform::Text name;
  platform::Text defaultExtension;  // without its dot; empty for none
};

// The part's file name; else the extension its content type is known by (".jpg" alone); else
// the content type up to ";".
ProposedName AttachmentSaveName(const mime::MimePart& part);

// The subject and ".txt", or ".txt" alone without a subject.
platform::Text TextSaveName(const store::MailItem& item);

// The header template of "Save as...".
inline constexpr char kSaveAsTemplate[] =
    "From: %f\r\nTo: %t\r\nCc: %c\r\nSubject: %s\r\nDate: %d\r\nMessage-ID: %i\r\n\r\n";

// The template expanded with the item's fields (%f, %t, %c, %b, %d, %s, %i, %%), then the text
// shown for the item, both in the local code page, written to `path` (replaced whole).
[[nodiscard]] bool SaveMessageAsText(const std::string& path, const store::MailItem& item,
                                     std::string_view headerTemplate, std::string_view fallbackCharset);

// The bytes of part `part` of the item's body, decoded, written to `path` (replaced whole).
[[nodiscard]] bool SaveAttachment(const std::string& path, const mime::MimePart& part, const store::MailItem& item);

}  // namespace zelk::viewer
