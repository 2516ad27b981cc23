// Attachment names in RFC 2231 form (filename*=charset'language'text).
#include "codec/rfc2231.h"

#include <optional>
#include <string>

#include "codec/charset.h"
#include "codec/hex_digit.h"
#include "codec/up_to_nul.h"

namespace zelk::codec {
namespace {

// Only "%XX" is an escape here. "+" is an ordinary character of an RFC 2231 value ("C++.pdf"),
// not the space of URL forms.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && text.size() - i >= 3) {
      out += HexPairValue(text[i + 1], text[i + 2]);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

platform::Text DecodeRfc2231Value(const platform::Text& value) {
  std::string_view charset;
  std::string_view escaped = value;
  const std::size_t first = value.find('\'');
  if (first != std::string::npos) {
    const std::size_t second = value.find('\'', first + 1);
    if (second != std::string::npos && second + 1 < value.size()) {
      charset = std::string_view(value).substr(0, first);
      escaped = std::string_view(value).substr(second + 1);
    }
  }
  const std::string bytes = Unescape(platform::TextToLocal(escaped));
  const std::optional<std::string> local = charset.empty() ? std::nullopt : CharsetToLocal(bytes, charset);
  // A name goes on to file paths, where a zero byte would end it anyway.
  return platform::LocalToText(UpToNul(local ? *local : bytes));
}

}  // namespace zelk::codec
