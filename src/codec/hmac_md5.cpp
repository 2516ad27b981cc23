#include "codec/hmac_md5.h"

#include <cstddef>
#include <cstdint>

namespace zelk::codec {
namespace {

constexpr std::size_t kBlockSize = 64;

// Key material must not linger on the stack after we return.
void Wipe(void* data, std::size_t length) {
  volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(data);
  for (std::size_t i = 0; i < length; ++i) p[i] = 0;
}

}  // namespace

Md5Digest HmacMd5(std::string_view text, std::string_view key) {
  Md5Digest hashedKey{};
  if (key.size() > kBlockSize) {
    Md5Context context;
    Md5Init(context);
    Md5Update(context, key.data(), key.size());
    Md5Final(hashedKey, context);
    key = std::string_view(reinterpret_cast<const char*>(hashedKey.data()), hashedKey.size());
  }

  // Zero-filled past the key, so a short key is implicitly padded to the block size.
  std::uint8_t innerPad[kBlockSize] = {};
  std::uint8_t outerPad[kBlockSize] = {};
  for (std::size_t i = 0; i < key.size(); ++i) {
    innerPad[i] = static_cast<std::uint8_t>(key[i]);
    outerPad[i] = static_cast<std::uint8_t>(key[i]);
  }
  for (std::size_t i = 0; i < kBlockSize; ++i) {
    innerPad[i] ^= 0x36;
    outerPad[i] ^= 0x5c;
  }

  Md5Digest inner;
  Md5Context context;
  Md5Init(context);
  Md5Update(context, innerPad, kBlockSize);
  Md5Update(context, text.data(), text.size());
  Md5Final(inner, context);

  Md5Digest result;
  Md5Init(context);
  Md5Update(context, outerPad, kBlockSize);
  Md5Update(context, inner.data(), inner.size());
  Md5Final(result, context);

  Wipe(innerPad, sizeof innerPad);
  Wipe(outerPad, sizeof outerPad);
  Wipe(hashedKey.data(), hashedKey.size());
  Wipe(inner.data(), inner.size());
  return result;
}

}  // namespace zelk::codec
