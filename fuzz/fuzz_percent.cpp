// Percent escapes: any input decodes without harm; escaped bytes decode back to themselves.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/percent.h"
#include "codec/up_to_nul.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (zelk::codec::PercentDecode(input).size() > input.size()) std::abort();
  const std::string bytes(zelk::codec::UpToNul(input));
  if (zelk::codec::PercentDecode(zelk::codec::PercentEncode(bytes)) != bytes) {
    std::fputs("percent round trip lost bytes\n", stderr);
    std::abort();
  }
  (void)zelk::codec::PercentDecodeText(input);
  return 0;
}
