#pragma once
#include <string_view>

#include "codec/md5.h"

namespace zelk::codec {

// RFC 2104 with MD5 and 64-byte blocks; a key over 64 bytes is hashed first.
Md5Digest HmacMd5(std::string_view text, std::string_view key);

}  // namespace zelk::codec
