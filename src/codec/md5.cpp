#include "codec/md5.h"

#include <cstring>

namespace zelk::codec {
namespace {

// Assembled byte by byte so the result does not depend on host endianness; compilers fold this
// into a single load on little-endian targets.
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The form compilers recognise as a rotate instruction; s is always in 1..31 here.
inline std::uint32_t Rotl(std::uint32_t v, unsigned s) { return (v << s) | (v >> (32 - s)); }

// F and G in forms that need one operation fewer than the textbook ones.
inline std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return ((c ^ d) & b) ^ d; }
inline std::uint32_t G(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return ((b ^ c) & d) ^ c; }
inline std::uint32_t H(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return b ^ c ^ d; }
inline std::uint32_t I(std::uint32_t b, std::uint32_t c, std::uint32_t d) { return c ^ (b | ~d); }

// The message word and constant are added first: they do not depend on the previous step, so
// that sum is off the critical path through b.
#define ZELK_MD5_STEP(f, a, b, c, d, x, s, k) \
  a += (x) + (k);                             \
  a += f(b, c, d);                            \
  a = Rotl(a, s) + (b)

void Transform(std::uint32_t state[4], const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);

  std::uint32_t a = state[0];
  std::uint32_t b = state[1];
  std::uint32_t c = state[2];
  std::uint32_t d = state[3];

  ZELK_MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478u);
  ZELK_MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756u);
  ZELK_MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070dbu);
  ZELK_MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceeeu);
  ZELK_MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0fafu);
  ZELK_MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62au);
  ZELK_MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613u);
  ZELK_MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501u);
  ZELK_MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8u);
  ZELK_MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7afu);
  ZELK_MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1u);
  ZELK_MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7beu);
  ZELK_MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122u);
  ZELK_MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193u);
  ZELK_MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438eu);
  ZELK_MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821u);

  ZELK_MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562u);
  ZELK_MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340u);
  ZELK_MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51u);
  ZELK_MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aau);
  ZELK_MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105du);
  ZELK_MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453u);
  ZELK_MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681u);
  ZELK_MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8u);
  ZELK_MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6u);
  ZELK_MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6u);
  ZELK_MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87u);
  ZELK_MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14edu);
  ZELK_MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905u);
  ZELK_MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8u);
  ZELK_MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9u);
  ZELK_MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8au);

  ZELK_MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942u);
  ZELK_MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681u);
  ZELK_MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122u);
  ZELK_MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380cu);
  ZELK_MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44u);
  ZELK_MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9u);
  ZELK_MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60u);
  ZELK_MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70u);
  ZELK_MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6u);
  ZELK_MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fau);
  ZELK_MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085u);
  ZELK_MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05u);
  ZELK_MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039u);
  ZELK_MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5u);
  ZELK_MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8u);
  ZELK_MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665u);

  ZELK_MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244u);
  ZELK_MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97u);
  ZELK_MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7u);
  ZELK_MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039u);
  ZELK_MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3u);
  ZELK_MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92u);
  ZELK_MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47du);
  ZELK_MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1u);
  ZELK_MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4fu);
  ZELK_MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0u);
  ZELK_MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314u);
  ZELK_MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1u);
  ZELK_MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82u);
  ZELK_MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235u);
  ZELK_MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bbu);
  ZELK_MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391u);

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

#undef ZELK_MD5_STEP

}  // namespace

void Md5Init(Md5Context& context) {
  context.state[0] = 0x67452301u;
  context.state[1] = 0xefcdab89u;
  context.state[2] = 0x98badcfeu;
  context.state[3] = 0x10325476u;
  context.bitCount = 0;
}

void Md5Update(Md5Context& context, const void* data, std::size_t length) {
  const auto* input = static_cast<const std::uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>((context.bitCount >> 3) & 63);
  // The count wraps modulo 2^64 bits, which is what the length field of the padding carries.
  context.bitCount += static_cast<std::uint64_t>(length) << 3;

  if (used != 0) {
    const std::size_t room = 64 - used;
    if (length < room) {
      std::memcpy(context.block + used, input, length);
      return;
    }
    std::memcpy(context.block + used, input, room);
    Transform(context.state, context.block);
    input += room;
    length -= room;
  }
  // Whole blocks are hashed where they lie; only a tail is kept for the next call.
  for (; length >= 64; input += 64, length -= 64) Transform(context.state, input);
  if (length != 0) std::memcpy(context.block, input, length);
}

void Md5Final(Md5Digest& digest, Md5Context& context) {
  std::uint8_t lengthField[8];
  const std::uint64_t bits = context.bitCount;
  for (int i = 0; i < 8; ++i) lengthField[i] = static_cast<std::uint8_t>(bits >> (8 * i));

  // A 0x80 byte, then zeros up to 56 mod 64, then the original length in bits.
  static const std::uint8_t kPadding[64] = {0x80};
  const std::size_t used = static_cast<std::size_t>((bits >> 3) & 63);
  const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  Md5Update(context, kPadding, padLength);
  Md5Update(context, lengthField, sizeof lengthField);

  for (int i = 0; i < 4; ++i) StoreLe32(digest.data() + 4 * i, context.state[i]);

  // The context holds message bytes and the key-dependent state of an HMAC; a plain memset of
  // an object about to die may be dropped by the optimiser, a volatile store may not.
  volatile std::uint8_t* wipe = reinterpret_cast<volatile std::uint8_t*>(&context);
  for (std::size_t i = 0; i < sizeof context; ++i) wipe[i] = 0;
}

std::string Md5Hex(const Md5Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (const std::uint8_t byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

}  // namespace zelk::codec
