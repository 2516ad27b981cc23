// ShiftJisToJis on arbitrary bytes must not crash. The input is also reduced to Shift_JIS that
// JIS carries unchanged: ASCII other than NUL, ESC, SO and SI; 0x80 and 0xFD-0xFF; kanji with
// lead 0x81-0x9F or 0xE0-0xEF. That text must come back as it was through JisToShiftJis.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/iso2022_jp.h"

namespace {

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }

bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

bool IsSingle(unsigned char b) {
  return (b < 0x80 && b != 0x00 && b != 0x1B && b != 0x0E && b != 0x0F) || b == 0x80 || b >= 0xFD;
}

// Keeps valid text as it is: other single bytes are dropped, a bad trail byte is moved into range.
std::string RoundTrippable(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char b = data[i];
    if (IsLead(b)) {
      if (i + 1 == size) break;
      unsigned char trail = data[++i];
      if (!IsTrail(trail)) {
        trail = static_cast<unsigned char>(0x40 + trail % 188);
        if (trail >= 0x7F) ++trail;
      }
      text += static_cast<char>(b);
      text += static_cast<char>(trail);
    } else if (IsSingle(b)) {
      text += static_cast<char>(b);
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)zelk::codec::ShiftJisToJis(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = RoundTrippable(data, size);
  const std::string jis = zelk::codec::ShiftJisToJis(text);
  if (zelk::codec::JisToShiftJis(jis) != text) {
    std::fprintf(stderr, "Shift_JIS text did not survive JIS and back\n");
    std::abort();
  }
  return 0;
}
