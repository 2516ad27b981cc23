#include "codec/percent.h"

#include "codec/hex_digit.h"
#include "codec/up_to_nul.h"

namespace zelk::codec {

std::string PercentDecode(std::string_view text) {
  text = UpToNul(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    char byte;
    if (c == '%' && text.size() - i >= 3 && ReadHexPair(text[i + 1], text[i + 2], byte)) {
      out += byte;
      i += 2;
    } else {
      out += c == '+' ? ' ' : c;
    }
  }
  return out;
}

std::string PercentEncode(std::string_view bytes) {
  bytes = UpToNul(bytes);
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += c;
    } else {
      out += '%';
      AppendHexByte(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

platform::Text PercentDecodeText(std::string_view text) {
  return platform::LocalToText(PercentDecode(platform::TextToLocal(text)));
}

}  // namespace zelk::codec
