#include "net/fingerprint.h"

#include "codec/hex_digit.h"

namespace zelk::net {

std::string FingerprintText(const Fingerprint& fingerprint) {
  std::string text;
  for (const unsigned char byte : fingerprint) {
    if (!text.empty()) text += ':';
    codec::AppendHexByte(text, byte);
  }
  return text;
}

std::optional<Fingerprint> ReadFingerprint(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c != ':' && c != ' ') digits += c;
  }
  Fingerprint fingerprint{};
  if (digits.size() != 2 * fingerprint.size()) return std::nullopt;
  for (std::size_t i = 0; i < fingerprint.size(); ++i) {
    char byte;
    if (!codec::ReadHexPair(digits[2 * i], digits[2 * i + 1], byte)) return std::nullopt;
    fingerprint[i] = static_cast<unsigned char>(byte);
  }
  return fingerprint;
}

}  // namespace zelk::net
