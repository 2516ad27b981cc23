#include "codec/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/up_to_nul.h"

namespace zelk::codec {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint16_t kSkip = 0x100;  // line breaks and any other character outside the alphabet
constexpr std::uint16_t kStop = 0x200;  // "=" pads the last quantum: the data ends there

// RFC 2045 §6.8: characters outside the alphabet "must be ignored"; read as 0 bits they would
// shift every following byte.
constexpr std::array<std::uint16_t, 256> MakeDecodeTable() {
  std::array<std::uint16_t, 256> table{};
  table.fill(kSkip);
  for (std::uint16_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  table['='] = kStop;
  return table;
}
constexpr auto kDecode = MakeDecodeTable();

// For the fast path: each character's six bits already shifted to their place in a group of
// four, and a flag bit above the 24 data bits for the characters that need the careful path.
constexpr std::uint32_t kCareful = 1u << 24;
using ShiftedTable = std::array<std::uint32_t, 256>;
constexpr std::array<ShiftedTable, 4> MakeShiftedTables() {
  std::array<ShiftedTable, 4> tables{};
  for (int position = 0; position < 4; ++position) {
    for (int c = 0; c < 256; ++c) {
      const std::uint16_t v = kDecode[c];
      tables[position][c] = v > 63 ? kCareful : std::uint32_t{v} << (18 - 6 * position);
    }
  }
  return tables;
}
constexpr auto kShifted = MakeShiftedTables();

inline std::uint32_t Group(const unsigned char* p) {
  return kShifted[0][p[0]] | kShifted[1][p[1]] | kShifted[2][p[2]] | kShifted[3][p[3]];
}

// Writes the three bytes of a group with one four-byte store; the fourth byte is scratch that
// the next store or the final resize overwrites.
inline void PutGroup(unsigned char* o, std::uint32_t group) {
  const std::uint32_t bigEndian = std::endian::native == std::endian::little ? __builtin_bswap32(group << 8) : group << 8;
  std::memcpy(o, &bigEndian, 4);
}

// Two output characters for every 12-bit value, so encoding does two lookups per three bytes.
constexpr std::array<std::uint16_t, 4096> MakePairTable() {
  std::array<std::uint16_t, 4096> table{};
  for (int i = 0; i < 4096; ++i) {
    const auto first = static_cast<unsigned char>(kAlphabet[i >> 6]);
    const auto second = static_cast<unsigned char>(kAlphabet[i & 63]);
    table[i] = static_cast<std::uint16_t>(std::endian::native == std::endian::little ? first | second << 8
                                                                                     : first << 8 | second);
  }
  return table;
}
constexpr auto kPairs = MakePairTable();

inline std::uint64_t LoadBigEndian64(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return std::endian::native == std::endian::little ? __builtin_bswap64(v) : v;
}

}  // namespace

std::string Base64Decode(std::string_view text) {
  text = UpToNul(text);
  std::string out(text.size() / 4 * 3 + 4, '\0');  // + 4: room for the fast path's scratch byte
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  for (;;) {
    // Fast path: whole groups of four alphabet characters, two at a time while they last.
    while (end - p >= 8) {
      const std::uint32_t first = Group(p), second = Group(p + 4);
      if ((first | second) & kCareful) break;
      PutGroup(o, first);
      PutGroup(o + 3, second);
      o += 6;
      p += 8;
    }
    if (end - p >= 4) {
      if (const std::uint32_t group = Group(p); !(group & kCareful)) {
        PutGroup(o, group);
        o += 3;
        p += 4;
        continue;
      }
    }
    // One group character by character, skipping what is outside the alphabet; each character after the first
    // completes one byte.
    std::uint32_t previous = 0;
    for (int n = 0; n < 4;) {
      if (p == end) goto done;
      const std::uint32_t v = kDecode[*p++];
      if (v == kSkip) continue;
      if (v == kStop) goto done;
      if (n == 1) *o++ = static_cast<unsigned char>(previous << 2 | v >> 4);
      if (n == 2) *o++ = static_cast<unsigned char>(previous << 4 | v >> 2);
      if (n == 3) *o++ = static_cast<unsigned char>(previous << 6 | v);
      previous = v;
      ++n;
    }
  }
done:
  out.resize(static_cast<std::size_t>(o - reinterpret_cast<unsigned char*>(out.data())));
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  char* o = out.data();
  auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  // Six bytes (48 bits, four 12-bit lookups) per step, read with one eight-byte load.
  for (; left >= 8; left -= 6, p += 6, o += 8) {
    const std::uint64_t v = LoadBigEndian64(p);
    const std::uint16_t chars[4] = {kPairs[v >> 52], kPairs[(v >> 40) & 0xFFF], kPairs[(v >> 28) & 0xFFF],
                                    kPairs[(v >> 16) & 0xFFF]};
    std::memcpy(o, chars, 8);
  }
  for (; left >= 3; left -= 3, p += 3, o += 4) {
    const std::uint32_t v = std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    std::memcpy(o, &kPairs[v >> 12], 2);
    std::memcpy(o + 2, &kPairs[v & 0xFFF], 2);
  }
  if (left > 0) {
    const std::uint32_t v = std::uint32_t{p[0]} << 16 | (left == 2 ? std::uint32_t{p[1]} << 8 : 0);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    o[3] = '=';
  }
  return out;
}

platform::Text Base64EncodeText(std::string_view text) {
  // Base64 is plain ASCII, the same in every local code page, so it needs no conversion back.
  return Base64Encode(platform::TextToLocal(text));
}

}  // namespace zelk::codec
