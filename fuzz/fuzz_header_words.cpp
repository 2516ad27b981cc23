// DecodeHeaderWords on arbitrary header values, under a UTF-8, a Western and a Japanese local
// code page (chosen by the first byte). It must not crash, must keep a value without encoded
// words, escapes and 8-bit bytes as it is, and must never add a line break or a zero byte: a decoded header
// is shown and stored as one line of text.
//
// "Never longer than the input" is not checked: iconv's charsets can grow text without bound
// relative to the word (TSCII gives up to four characters for one byte, each a "?" under a
// Western code page), and any conversion into UTF-8 grows text too.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/header_words.h"
#include "codec/up_to_nul.h"
#include "text_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  zelk::fuzz::UseCodePage(data[0]);
  const std::string_view value = zelk::codec::UpToNul(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  const std::string out = zelk::codec::DecodeHeaderWords(value, "Windows-1252");
  for (const char lineBreak : {'\r', '\n'}) {
    if (std::count(out.begin(), out.end(), lineBreak) > std::count(value.begin(), value.end(), lineBreak)) {
      zelk::fuzz::Fail("decoding added a line break");
    }
  }
  if (out.find('\0') != std::string::npos) {
    zelk::fuzz::Fail("decoding gave a zero byte");
  }
  // Raw 8-bit text declares no charset and may be read in the fallback charset.
  const bool eightBit = std::any_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (value.find("=?") == std::string_view::npos && value.find('\x1B') == std::string_view::npos && !eightBit && out != value) {
    zelk::fuzz::Fail("a value without words or escapes changed");
  }
  return 0;
}
