#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

// Parameters of structured header values ("multipart/mixed; boundary=x", "attachment;
// filename=a.txt"): RFC 2045 §5.1 tokens and quoted strings, RFC 2231 continuations and charsets.
// One reader serves every place that looks a parameter up, so all of them agree on what a value is.
namespace zelk::codec {

// The bytes of a parameter: a plain "name=" value, or, when the value also comes in RFC 2231
// form ("name*=" or "name*0", "name*1*", ... in any order), that form with its sections joined by
// number and its escapes undone, in the charset it names. Names compare whole, ASCII case ignored.
// None when the value has no such parameter.
std::optional<std::string> ParamBytes(std::string_view value, std::string_view name);

// The parameter as text for the user (a file name): an RFC 2231 value converted from its charset,
// a plain value with its RFC 2047 words decoded, as many mailers write names; 8-bit text that
// declares no charset is read as DecodeHeaderWords reads it. Never a zero byte.
std::optional<platform::Text> ParamText(std::string_view value, std::string_view name, std::string_view fallbackCharset);

}  // namespace zelk::codec
