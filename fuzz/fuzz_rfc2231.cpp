// DecodeRfc2231Value on arbitrary parameter values, under a UTF-8, a Western and a Japanese local
// code page (chosen by the first byte). It must not crash, must never give a zero byte (the name
// goes on to file paths), and under UTF-8 must keep a value without escapes and apostrophes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/rfc2231.h"
#include "platform/code_page.h"

namespace {

int UseCodePage(std::uint8_t choice) {
  static const char* const kCodePages[] = {"UTF-8", "CP1252", "SHIFT_JIS"};
  static int current = -1;
  const int wanted = choice % 3;
  if (wanted != current) {
    if (!zelk::platform::SelectLocalCodePage(kCodePages[wanted])) std::abort();
    current = wanted;
  }
  return wanted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool utf8 = UseCodePage(data[0]) == 0;
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string text = zelk::codec::DecodeRfc2231Value(value);
  if (text.find('\0') != std::string::npos) {
    std::fputs("a zero byte in a decoded name\n", stderr);
    std::abort();
  }
  if (utf8 && value.find_first_of(std::string("%'\0", 3)) == std::string::npos && text != value) {
    std::fputs("a value without escapes changed\n", stderr);
    std::abort();
  }
  return 0;
}
