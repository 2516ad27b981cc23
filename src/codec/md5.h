#pragma once
#include <string>
#include <array>
#include <cstddef>
#include <cstdint>

namespace zelk::codec {

// RFC 1321 MD5. The output is the raw 16 bytes; Md5Hex writes them as protocols send them.
using Md5Digest = std::array<std::uint8_t, 16>;

struct Md5Context {
  std::uint32_t state[4];
  std::uint64_t bitCount;
  std::uint8_t block[64];
};

void Md5Init(Md5Context& context);
void Md5Update(Md5Context& context, const void* data, std::size_t length);
// Pads, writes the digest and zeroes the whole context.
void Md5Final(Md5Digest& digest, Md5Context& context);

// The digest as 32 lower-case hex digits, as APOP and CRAM-MD5 send it.
std::string Md5Hex(const Md5Digest& digest);

}  // namespace zelk::codec
