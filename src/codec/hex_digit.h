#pragma once
#include <array>
#include <string>

namespace zelk::codec {

// "0"-"9" give 0-9 and letters of either case give 10-35 ("G" is 16); anything else gives 0.
// Mail in the wild carries broken escapes, so nothing here rejects input.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return 0;
}

// The same as a table: escapes in bodies are frequent and their digits too random to predict.
inline constexpr auto kHexDigitValues = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(HexDigitValue(static_cast<char>(c)));
  return table;
}();

// Two digits combine as first * 16 + second, kept to 8 bits.
constexpr char HexPairValue(char first, char second) {
  return static_cast<char>((kHexDigitValues[static_cast<unsigned char>(first)] * 16 +
                            kHexDigitValues[static_cast<unsigned char>(second)]) & 0xFF);
}

// Encoders write upper-case digits only.
inline void AppendHexByte(std::string& out, unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace zelk::codec
