#pragma once
#include <cstddef>
#include <vector>

#include "store/mail_item.h"

// What the composer's window shows of the message it edits.
namespace zelk::compose {

// What the body editor takes by typing and pasting, in UTF-16 units with a line end counted as
// CR LF. A longer body (from the Outbox, a link or an external editor) is shown whole.
inline constexpr std::size_t kEditorLimit = 30000;

// "Mail Edit - [Subject]" cut to 256 units, or "Mail Edit" without a subject (or an empty one).
platform::Text ComposerTitle(const store::MailItem& item);

// Three lines: the account; To with the bare addresses of Cc and Bcc in parentheses; the subject
// with the attached files' names. Lines end in LF, as the window shows them.
platform::Text HeaderSummary(const store::MailItem& item);

// The body as the user edits it: one escaping dot less at each line's start, LF line ends.
platform::Text EditorText(const store::MailItem& item);

// The file names (after the last "/" or backslash) of the paths in Attach.
std::vector<platform::Text> AttachedFileNames(const store::OptionalText& attach);

}  // namespace zelk::compose
