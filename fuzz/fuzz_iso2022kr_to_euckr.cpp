// Iso2022KrToEucKr on arbitrary bytes: it must not crash and must never grow the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "codec/iso2022_kr.h"
#include "codec/up_to_nul.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string out = zelk::codec::Iso2022KrToEucKr(input);
  if (out.size() > zelk::codec::UpToNul(input).size()) {
    std::fprintf(stderr, "Iso2022KrToEucKr grew the text\n");
    std::abort();
  }
  return 0;
}
