// JisToShiftJis on arbitrary bytes: it must not crash, must never grow the text, and must leave
// text without ESC and SO untouched.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "codec/iso2022_jp.h"
#include "codec/up_to_nul.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view text = zelk::codec::UpToNul(input);
  const std::string out = zelk::codec::JisToShiftJis(input);
  if (out.size() > text.size()) {
    std::fprintf(stderr, "JisToShiftJis wrote %zu bytes for %zu\n", out.size(), text.size());
    std::abort();
  }
  if (text.find_first_of("\x1B\x0E") == std::string_view::npos && out != text) {
    std::fprintf(stderr, "JisToShiftJis changed text without ESC or SO\n");
    std::abort();
  }
  return 0;
}
