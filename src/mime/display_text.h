#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/multipart.h"
#include "platform/code_page.h"
#include "store/mail_item.h"

// Turning a stored body into what the user sees and saves. Stored bodies keep the dot-doubling of
// the POP3 transfer (a line that begins with "." carries one more); what is shown or saved never
// does.
namespace zelk::mime {

// Removes one "." from the start of the text and from the start of every line (after a LF).
// Works alike on Text and on 8-bit text.
std::string UnescapeDots(std::string_view text);

// The received body of a single-part message (8-bit text, dot-doubled as it came) made ready to
// be stored: a "text" body in base64 or quoted-printable is decoded, dot-doubled again, and the
// item's Encoding removed, so the stored body is known to be decoded. Other bodies come back as
// they are.
std::string DecodeStoredBody(store::MailItem& item, std::string_view bytes);

struct DisplayText {
  platform::Text text;
  std::optional<std::size_t> selected;  // the index in the parts of the part shown; none: the stored body
};

// The text to show for an item. `parts` is filled anew: the leaf parts of a multipart item, or
// one part that stands for the whole body (with source, or when parsing found none). Without
// source the first text part is shown, decoded and converted from its charset; when there is
// none the stored body is shown as it is. With source the whole body is shown undecoded. Only
// the shown part is read, so an attachment costs only the search for its end. A single text part
// with a file name (FileName: the disposition's "filename" or the "name" parameter) is shown and
// also offered as a second part. Text that
// declares no charset is read through `fallbackCharset` (UndeclaredToLocal); the body stays as
// stored.
DisplayText GetDisplayText(const store::MailItem& item, bool source, std::vector<MimePart>& parts,
                           std::string_view fallbackCharset);

// The bytes of a part (positions into `body`, the item's Body) with its transfer encoding
// removed, as they are to be saved. Decoded zero bytes stay.
std::string DecodePartData(const MimePart& part, std::string_view body);

// Cuts a multipart item down to its first text part: Body becomes that part's text, Encoding and
// ContentType the part's own, Attach "_". False, and the item unchanged, when it has no text part.
bool KeepFirstTextPart(store::MailItem& item);

}  // namespace zelk::mime
