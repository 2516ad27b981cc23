#include "platform/utf8.h"

namespace zelk::platform {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

Utf8Char Stray(unsigned char byte) { return {byte, 1, false}; }

}  // namespace

Utf8Char DecodeUtf8At(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {lead, 1, true};
  std::uint8_t length;
  char32_t code;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return Stray(lead);
  }
  if (text.size() - pos < length) return Stray(lead);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(next)) return Stray(lead);
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF) return Stray(lead);
  return {code, length, true};
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = DecodeUtf8At(text, pos);
    units += c.code > 0xFFFF ? 2 : 1;
    pos += c.length;
  }
  return units;
}

std::string_view CutToUtf16Units(std::string_view text, std::size_t units) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Utf8Char c = DecodeUtf8At(text, pos);
    const std::size_t need = c.code > 0xFFFF ? 2 : 1;
    if (need > units) break;
    units -= need;
    pos += c.length;
  }
  return text.substr(0, pos);
}

}  // namespace zelk::platform
