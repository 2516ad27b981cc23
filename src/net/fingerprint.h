#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

// A certificate's SHA-256 fingerprint as people read it in an error text and type it back as a pin.
namespace zelk::net {

using Fingerprint = std::array<unsigned char, 32>;

// Upper-case hex pairs joined by ":", as `openssl x509 -noout -fingerprint -sha256` prints it.
std::string FingerprintText(const Fingerprint& fingerprint);

// 64 hex digits of either case; colons and spaces between them are ignored, so a fingerprint may
// be pasted in any of the usual forms. Nothing for anything else.
std::optional<Fingerprint> ReadFingerprint(std::string_view text);

}  // namespace zelk::net
