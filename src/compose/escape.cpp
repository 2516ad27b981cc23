#include "compose/escape.h"

#include "platform/ascii.h"

namespace zelk::compose {

platform::Text EscapeForSending(std::string_view text) {
  platform::Text out;
  out.reserve(text.size() + text.size() / 32 + 2);
  for (std::size_t pos = 0; pos < text.size();) {
    // pos starts a line here.
    const bool afterCrLf = pos >= 2 && text[pos - 2] == '\r';
    if (text[pos] == '.') {
      out += '.';
    } else if ((pos == 0 || afterCrLf) && platform::StartsWithIgnoringAsciiCase(text.substr(pos), "from")) {
      out += '>';
    }
    const std::size_t lineFeed = text.find('\n', pos);
    const std::size_t next = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
    out.append(text.substr(pos, next - pos));
    pos = next;
  }
  return out;
}

}  // namespace zelk::compose
