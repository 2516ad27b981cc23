// EucKrToIso2022Kr on arbitrary bytes must not crash. With NUL, ESC, SO and SI left out, any
// text must come back unchanged through Iso2022KrToEucKr.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/iso2022_kr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)zelk::codec::EucKrToIso2022Kr(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0x00 && data[i] != 0x1B && data[i] != 0x0E && data[i] != 0x0F) {
      text += static_cast<char>(data[i]);
    }
  }
  if (zelk::codec::Iso2022KrToEucKr(zelk::codec::EucKrToIso2022Kr(text)) != text) {
    std::fprintf(stderr, "EUC-KR text did not survive ISO-2022-KR and back\n");
    std::abort();
  }
  return 0;
}
