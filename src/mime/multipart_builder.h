#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "mime/body_encoding.h"
#include "platform/code_page.h"
#include "store/mail_item.h"

namespace zelk::mime {

// How attachment file names are written: the HeadCharset, HeadEncoding and EncodeType settings.
struct FileNameEncoding {
  std::string_view headCharset;
  int headEncoding = 3;
  int encodeType = 0;  // 1: an encoded word inside the quoted parameter
};

// What joins the paths of an item's attachment list: U+00A0 in UTF-8.
inline constexpr std::string_view kAttachSeparator = "\xC2\xA0";

// The files of an item's attachment list (paths joined by kAttachSeparator), in order; none for
// an absent or empty list.
std::vector<platform::Text> AttachmentPaths(const store::OptionalText& attach);

// The name a path gives its file: what follows the last "/" or backslash.
std::string_view FileNameOf(std::string_view path);

// The Content-Type value of a message with attachments, folded over two lines.
std::string MultipartContentType(std::string_view boundary);

// Appends the multipart body to `out` (8-bit DATA lines, dot-stuffed where needed): the text
// part, then one base64 part per file, then the closing boundary line. Each file is read in
// pieces and encoded as it arrives. False when a file is missing, is not a regular file (a
// folder, a device, a pipe) or cannot be read; `out` then holds part of the body.
[[nodiscard]] bool BuildMultipart(const std::vector<platform::Text>& paths, std::string_view boundary,
                                  const EncodedBody& text, const FileNameEncoding& names, std::string& out);

}  // namespace zelk::mime
