#include "codec/quoted_printable.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/hex_digit.h"
#include "codec/up_to_nul.h"
#include "platform/ascii.h"

namespace zelk::codec {

namespace {

// Finds the first "=" among the eight bytes at p, or returns 8: a word-at-a-time scan, because
// most of a body is plain text between escapes.
inline int FirstEqualsSign(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  const std::uint64_t x = word ^ 0x3D3D3D3D3D3D3D3Dull;  // "=" bytes become zero
  const std::uint64_t zero = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
  if (zero == 0) return 8;
  return (std::endian::native == std::endian::little ? std::countr_zero(zero) : std::countl_zero(zero)) / 8;
}

using platform::IsBlank;

// Decodes the "=" at p; returns the position after what it used. RFC 2045 §6.7: "=" and two hex
// digits (either case) is a byte; "=" at the end of a line, with any blanks a gateway left after
// it, is a soft break; any other "=" stays as written.
inline const char* DecodeEquals(const char* p, const char* end, char*& o) {
  char byte;
  if (end - p >= 3 && ReadHexPair(p[1], p[2], byte)) {
    *o++ = byte;
    return p + 3;
  }
  const char* q = p + 1;
  while (q != end && IsBlank(*q)) ++q;
  if (q == end) return end;  // the soft break of a last line whose line end was cut off
  if (*q == '\n') return q + 1;
  if (*q == '\r' && (q + 1 == end || q[1] == '\n')) return q + 1 == end ? end : q + 2;
  *o++ = *p;
  return p + 1;
}

}  // namespace

std::string QuotedPrintableDecode(std::string_view text) {
  text = UpToNul(text);
  std::string out(text.size(), '\0');
  char* o = out.data();
  const char* p = text.data();
  const char* const end = p + text.size();
  // The output never runs ahead of the input, so copying eight bytes at a time stays inside it.
  while (end - p >= 8) {
    std::memcpy(o, p, 8);
    const int plain = FirstEqualsSign(p);
    o += plain;
    p += plain;
    if (plain < 8) p = DecodeEquals(p, end, o);
  }
  while (p < end) {
    if (*p == '=') {
      p = DecodeEquals(p, end, o);
    } else {
      *o++ = *p++;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string QuotedPrintableEncode(std::string_view bytes, int lineLimit) {
  bytes = UpToNul(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 + 16);
  int count = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 0x21 && byte <= 0x7F && c != '=' && c != '?' && c != '_') || c == '\t' ||
                       c == '\r' || c == '\n';
    if (plain) {
      out += c;
      count = c == '\n' ? 0 : count + 1;
    } else {
      out += '=';
      AppendHexByte(out, byte);
      count += 3;
    }
    if (c != '\r' && lineLimit > 0 && count >= lineLimit) {
      out += "=\r\n";
      count = 0;
    }
  }
  return out;
}

}  // namespace zelk::codec
