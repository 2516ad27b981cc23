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

// What text without a declared charset is read in when it is no UTF-8, unless the user sets
// another charset (Japanese users set Shift_JIS).
inline constexpr std::string_view kDefaultUndeclaredCharset = "Windows-1252";

// Whether the bytes are well-formed UTF-8 (encoded surrogates, the code page layer's byte escapes,
// are not).
bool IsUtf8(std::string_view bytes);

// 8-bit text that declares no charset, as it is to be shown. Under a UTF-8 local code page, text
// that is not UTF-8 is read in `fallbackCharset` (in Windows-1252 when that name is unknown), so
// nothing shown is ever invalid UTF-8; under other local code pages it is local text already.
std::string UndeclaredToLocal(std::string_view bytes, std::string_view fallbackCharset);

// A body in the charset its Content-Type names. Without a usable charset parameter, JIS escapes
// are still turned into text and everything else is undeclared text (UndeclaredToLocal).
std::string ContentCharsetToLocal(std::string_view body, std::string_view contentType, std::string_view fallbackCharset);

// Local code page text to `charset` for sending. When some character has no place in that
// charset, the whole text comes back in UTF-8 and labelled so. Nothing when the name is unknown:
// the caller sends the local bytes under that name.
std::optional<CharsetText> LocalToCharset(std::string_view local, std::string_view charset);

}  // namespace zelk::codec
