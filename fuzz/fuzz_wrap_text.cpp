// Word wrap: any text wraps without harm, and the only change is CR LF put between characters
// (never at a line's start, never inside a UTF-8 character). The first byte is the width, the
// second the keep-quoted flag, the rest the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compose/wrap.h"
#include "platform/utf8.h"

namespace {

void Fail(const char* why) {
  std::fputs(why, stderr);
  std::abort();
}

// Positions in the text where the wrapped text has a break that the text does not.
std::vector<std::size_t> InsertedBreaks(std::string_view text, std::string_view wrapped) {
  std::vector<std::size_t> breaks;
  std::size_t i = 0;
  for (std::size_t o = 0; o < wrapped.size();) {
    if (i < text.size() && wrapped[o] == text[i]) {
      ++i, ++o;
    } else if (wrapped.substr(o, 2) == "\r\n") {
      breaks.push_back(i);
      o += 2;
    } else {
      Fail("wrapping changed the text\n");
    }
  }
  if (i != text.size()) Fail("wrapping lost the end of the text\n");
  return breaks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int width = data[0] % 80;
  const bool keepQuoted = (data[1] & 1) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  zelk::compose::WrapCharacters characters{",.)", "(", "。、ａ", "「（"};
  const std::string wrapped = zelk::compose::WrapText(text, "> ", width, keepQuoted, characters);
  if (width == 0 && wrapped != text) Fail("width 0 changed the text\n");

  std::vector<bool> boundary(text.size() + 1, false);
  for (std::size_t pos = 0; pos < text.size(); pos += zelk::platform::DecodeUtf8At(text, pos).length) boundary[pos] = true;
  std::size_t previous = std::string_view::npos;
  for (const std::size_t at : InsertedBreaks(text, wrapped)) {
    if (!boundary[at]) Fail("a break inside a UTF-8 character\n");
    if (at == 0 || text[at - 1] == '\r' || text[at - 1] == '\n' || at == previous) Fail("a break at a line's start\n");
    previous = at;
  }
  return 0;
}
