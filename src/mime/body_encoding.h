#pragma once
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::mime {

// The BodyEncoding setting: how a body with 8-bit characters travels.
inline constexpr int kBody7bit = 0;  // also every value not listed here
inline constexpr int kBody8bit = 1;
inline constexpr int kBodyBase64 = 2;
inline constexpr int kBodyQuotedPrintable = 3;

// A message text made ready to travel, with the values of its two header lines.
struct EncodedBody {
  std::string bytes;             // 8-bit, CR LF lines, not yet dot-stuffed
  std::string contentType;       // text/plain; charset="..."
  std::string transferEncoding;  // 7bit, 8bit, base64 or quoted-printable
};

// Plain ASCII goes out as US-ASCII in 7bit whatever the settings. Other text is converted to
// `charset`, or to UTF-8 when that charset cannot hold it or is unknown here, and labelled with
// the charset it really is in; then encoded as `encoding` says. Text that cannot travel as the
// settings say goes in quoted-printable instead: converted text that is still 8-bit under a 7bit
// setting, and text with a line longer than 998 characters under 7bit or 8bit.
EncodedBody EncodeBody(const platform::Text& text, std::string_view charset, int encoding);

}  // namespace zelk::mime
