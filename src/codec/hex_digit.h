#pragma once
#include <array>
#include <string>

namespace zelk::codec {

inline constexpr unsigned char kNotHex = 0xFF;

// The value of every byte as a hex digit of either case, kNotHex for the rest. A table: escapes
// in bodies are frequent and their digits too random to predict.
inline constexpr auto kHexDigitValues = [] {
  std::array<unsigned char, 256> table{};
  table.fill(kNotHex);
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 'a' + 10);
  return table;
}();

// Two hex digits as one byte. False when either is no hex digit: mail in the wild carries "="
// and "%" that begin no escape ("?ie=UTF8&psc=1"), and those stay text.
[[nodiscard]] constexpr bool ReadHexPair(char first, char second, char& byte) {
  const unsigned char high = kHexDigitValues[static_cast<unsigned char>(first)];
  const unsigned char low = kHexDigitValues[static_cast<unsigned char>(second)];
  if (high == kNotHex || low == kNotHex) return false;
  byte = static_cast<char>(high << 4 | low);
  return true;
}

// Encoders write upper-case digits only.
inline void AppendHexByte(std::string& out, unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace zelk::codec
