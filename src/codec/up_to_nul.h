#pragma once
#include <cstring>
#include <string_view>

namespace zelk::codec {

// The codecs take NUL-terminated text: a zero byte inside a view ends the input there.
inline std::string_view UpToNul(std::string_view s) {
  if (s.empty()) return s;  // an empty view may have no data pointer for memchr
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

}  // namespace zelk::codec
