#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

// Parameters of structured header values ("multipart/mixed; boundary=x", "attachment;
// filename=a.txt"): RFC 2045 §5.1 tokens and quoted strings, RFC 2231 continuations and charsets.
// One reader serves every place that looks a parameter up, so all of them agree on what a value is.
namespace zelk::codec {

// One "name=value" of a parameter list as written: the name with any RFC 2231 "*N" and "*" still
// on it; the value with its quotes removed and backslash pairs undone.
struct RawParameter {
  std::string_view name;
  std::string value;
};

// Reads the parameter after the next ";" at or after cursor (so the leading type or disposition
// is passed over) and moves the cursor past it. A part that holds no "=" is skipped. False when no
// ";" is left.
[[nodiscard]] bool ReadParameter(const char*& cursor, const char* end, RawParameter& out);

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
