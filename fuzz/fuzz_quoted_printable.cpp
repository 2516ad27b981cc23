// Quoted-printable: any input decodes without harm; encoded text (with or without soft breaks)
// decodes back to the bytes before the first NUL.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/quoted_printable.h"
#include "codec/up_to_nul.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (zelk::codec::QuotedPrintableDecode(input).size() > input.size()) std::abort();
  const std::string bytes(zelk::codec::UpToNul(input));
  for (const int limit : {0, 76, 1}) {
    if (zelk::codec::QuotedPrintableDecode(zelk::codec::QuotedPrintableEncode(bytes, limit)) != bytes) {
      std::fprintf(stderr, "quoted-printable round trip lost bytes (limit %d)\n", limit);
      std::abort();
    }
  }
  return 0;
}
