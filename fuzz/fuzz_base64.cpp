// Base64: any input decodes without harm; encoding any bytes decodes back to them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = zelk::codec::Base64Decode(input);
  if (decoded.size() > input.size() * 3 / 4 + 3) std::abort();
  if (zelk::codec::Base64Decode(zelk::codec::Base64Encode(input)) != input) {
    std::fputs("base64 round trip lost bytes\n", stderr);
    std::abort();
  }
  return 0;
}
