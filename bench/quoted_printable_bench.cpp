// Quoted-printable decoding of 64 MiB of mixed text with 8 % of its characters escaped, against
// memcpy of the same bytes, the limit any decoder meets.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "codec/quoted_printable.h"
#include "ratio.h"

namespace {

const std::string& Text() {
  static const std::string text = [] {
    std::mt19937 random(2);
    const char letters[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ.,0123456789";
    const char hex[] = "0123456789ABCDEF";
    std::string t;
    t.reserve((64u << 20) + 100);
    int column = 0;
    while (t.size() < (64u << 20)) {
      if (random() % 100 < 8) {
        t += '=';
        t += hex[random() % 16];
        t += hex[random() % 16];
        column += 3;
      } else {
        t += letters[random() % (sizeof letters - 1)];
        ++column;
      }
      if (column >= 73) {
        t += random() % 4 ? "=\r\n" : "\r\n";  // mostly soft breaks, some real line ends
        column = 0;
      }
    }
    return t;
  }();
  return text;
}

void BM_QuotedPrintableDecodeZelk(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) benchmark::DoNotOptimize(zelk::codec::QuotedPrintableDecode(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QuotedPrintableDecodeZelk)->Unit(benchmark::kMillisecond);

void BM_QuotedPrintableMemcpy(benchmark::State& state) {
  const std::string& text = Text();
  for (auto _ : state) {
    std::string copy(text.size(), '\0');
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_QuotedPrintableMemcpy)->Unit(benchmark::kMillisecond);

ZELK_RATIO("Quoted-printable decode, 64 MiB, vs memcpy", "BM_QuotedPrintableDecodeZelk", "BM_QuotedPrintableMemcpy", 0.0);

}  // namespace
