#include "config/password.h"

#include "codec/base64.h"
#include "codec/md5.h"

namespace zelk::config {

namespace {

std::string XorWithKeyDigest(std::string bytes, std::string_view keyText) {
  const std::string key = platform::TextToLocal(keyText);
  codec::Md5Context context;
  codec::Md5Init(context);
  codec::Md5Update(context, key.data(), key.size());
  codec::Md5Digest digest;
  codec::Md5Final(digest, context);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(bytes[k] ^ digest[k % 16]);
  return bytes;
}

}  // namespace

platform::Text EncodePassword(std::string_view keyText, std::string_view plain) {
  if (plain.empty()) return {};
  return "=" + codec::Base64Encode(XorWithKeyDigest(platform::TextToLocal(plain), keyText));
}

platform::Text DecodePassword(std::string_view keyText, std::string_view stored) {
  if (stored.starts_with('=')) {
    return platform::LocalToText(XorWithKeyDigest(codec::Base64Decode(stored.substr(1)), keyText));
  }
  std::string bytes = codec::Base64Decode(stored);
  bytes.resize(std::min(bytes.find('\0'), bytes.size()));
  for (char& byte : bytes) byte = static_cast<char>(~byte);
  return platform::LocalToText(bytes);
}

}  // namespace zelk::config
