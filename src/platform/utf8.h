#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::platform {

// One character of UTF-8 text. A byte that starts no well-formed sequence is reported on its own
// (valid = false, code = the byte) so that walking text never stalls and never drops bytes.
// Encoded surrogates count as well-formed: the code page layer uses U+DC00..U+DCFF as byte escapes.
struct Utf8Char {
  char32_t code;
  std::uint8_t length;
  bool valid;
};

Utf8Char DecodeUtf8At(std::string_view text, std::size_t pos);
void AppendUtf8(std::string& out, char32_t code);

// Lengths and cuts in UTF-16 units, the unit of every character limit the user meets
// (a character above U+FFFF counts 2, a stray byte 1). Cuts never split a character.
std::size_t Utf16Length(std::string_view text);
std::string_view CutToUtf16Units(std::string_view text, std::size_t units);

}  // namespace zelk::platform
