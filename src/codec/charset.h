#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace zelk::codec {

// Mail charsets and the local code page. Names beginning with "ISO-2022-JP" or "ISO-2022-KR" (any
// letter case) go through our own JIS and ISO-2022-KR conversions, by way of Shift_JIS (CP932)
// and EUC-KR; names beginning with "UTF-7" or "UTF-8" mean those charsets; any other name is
// handed to iconv. A name that none of these knows leaves the bytes as they are.

// Bytes labelled with the charset they really are in.
struct CharsetText {
  std::string bytes;
  std::string charset;
};

// What is written when text has no place in the charset asked for: mail is never mislabelled.
inline constexpr std::string_view kFallbackCharset = "UTF-8";

// Received bytes in `charset` to the local code page. Bytes that do not decode become U+FFFD (or
// "?"), characters the local code page lacks "?". Nothing when the name is unknown: the caller
// keeps its bytes. The name may run on (a Content-Type value after "charset="): it ends at the
// first character that no charset name holds.
std::optional<std::string> CharsetToLocal(std::string_view bytes, std::string_view charset);

// A body in the charset its Content-Type names. Without a usable charset parameter, JIS escapes
// are still turned into text and everything else is kept as received.
std::string ContentCharsetToLocal(std::string_view body, std::string_view contentType);

// Local code page text to `charset` for sending. When some character has no place in that
// charset, the whole text comes back in UTF-8 and labelled so. Nothing when the name is unknown:
// the caller sends the local bytes under that name.
std::optional<CharsetText> LocalToCharset(std::string_view local, std::string_view charset);

}  // namespace zelk::codec
