#pragma once
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "store/mail_item.h"

// Reading received multipart bodies. Everything here works on Text (a message body as stored in a
// MailItem); the structure of a body is plain ASCII, the same in every local code page.
namespace zelk::mime {

using platform::Text;
using store::OptionalText;

// One leaf part of a multipart body. The positions are byte offsets into the body text that was
// parsed and stay valid only as long as that text is not replaced.
struct MimePart {
  OptionalText contentType;       // the part's "Content-Type:" value, unfolded
  OptionalText fileName;          // decoded file name, from Content-Disposition or the "name" parameter
  OptionalText transferEncoding;  // the part's "Content-Transfer-Encoding:" value, unfolded
  std::size_t bodyStart = 0;      // first character after the empty line that ends the part's headers
  std::optional<std::size_t> bodyEnd;  // start of the next boundary line; none when none follows
};

// Multiparts nested deeper than this are passed over like a multipart without a boundary: real
// mail nests a handful of levels, and every open level costs a comparison at each boundary line.
inline constexpr std::size_t kMaxMultipartDepth = 64;

// Appends the leaf parts of a multipart body to `parts`, depth-first in the order they appear,
// nested multiparts flattened; positions are offsets into `body`. Returns the new count: the
// count passed in when the content type is no multipart with a boundary or the body has no
// boundary line. A boundary line is "--" and the boundary, then "--" or nothing, then blanks alone;
// the boundary compares exactly, or ignoring letter case when exactly finds no part. A part without
// Content-Type in a multipart/digest is a message/rfc822. File names in 8-bit text that declares
// no charset are read in `fallbackCharset` (UndeclaredToLocal). Time and memory are linear in the
// body.
std::size_t ParseMultipart(std::string_view contentType, std::string_view body, std::vector<MimePart>& parts,
                           std::string_view fallbackCharset);

// The name a part or message offers its content under: the Content-Disposition "filename", else
// the Content-Type "name" (ParamText).
OptionalText FileName(const OptionalText& disposition, const OptionalText& contentType, std::string_view fallbackCharset);

// A part's text: from its body start up to the CR LF before its body end; to the end of the
// body when it has no body end.
std::string_view PartText(const MimePart& part, std::string_view body);

// A part is shown as text when its content type is absent, "text/..." or no "type/subtype" at all.
bool IsTextPart(const MimePart& part);
std::optional<std::size_t> FirstTextPart(const std::vector<MimePart>& parts);

}  // namespace zelk::mime
