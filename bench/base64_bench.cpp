// Base64 against coreutils' base64 on the same 64 MiB of 76-character CR LF lines.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "bench_data.h"
#include "codec/base64.h"
#include "ratio.h"

namespace {

struct Base64Data {
  std::string raw;    // the bytes
  std::string lines;  // their base64 text in 76-character lines with CR LF, 64 MiB
  std::string rawPath;
  std::string linesPath;
};

const Base64Data& Data() {
  static const Base64Data data = [] {
    constexpr std::size_t kLines = (64u << 20) / 78;
    Base64Data d;
    std::mt19937_64 random(1);
    d.raw.resize(kLines * 57);
    for (char& byte : d.raw) byte = static_cast<char>(random());
    const std::string text = zelk::codec::Base64Encode(d.raw);
    d.lines.reserve(kLines * 78);
    for (std::size_t i = 0; i < text.size(); i += 76) d.lines.append(text, i, 76).append("\r\n");
    d.rawPath = zelk::bench::WriteTemporaryFile("raw.bin", d.raw);
    d.linesPath = zelk::bench::WriteTemporaryFile("lines.b64", d.lines);
    return d;
  }();
  return data;
}

void BM_Base64DecodeZelk(benchmark::State& state) {
  const Base64Data& data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(zelk::codec::Base64Decode(data.lines));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.lines.size()));
}
BENCHMARK(BM_Base64DecodeZelk)->Unit(benchmark::kMillisecond);

// -i: coreutils refuses the CR of CR LF lines otherwise.
void BM_Base64DecodeCoreutils(benchmark::State& state) {
  const Base64Data& data = Data();
  zelk::bench::RunCommandBenchmark(state, {"base64", "-d", "-i", data.linesPath}, data.lines.size());
}
BENCHMARK(BM_Base64DecodeCoreutils)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_Base64EncodeZelk(benchmark::State& state) {
  const Base64Data& data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(zelk::codec::Base64Encode(data.raw));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.raw.size()));
}
BENCHMARK(BM_Base64EncodeZelk)->Unit(benchmark::kMillisecond);

void BM_Base64EncodeCoreutils(benchmark::State& state) {
  const Base64Data& data = Data();
  zelk::bench::RunCommandBenchmark(state, {"base64", data.rawPath}, data.raw.size());
}
BENCHMARK(BM_Base64EncodeCoreutils)->Unit(benchmark::kMillisecond)->UseManualTime();

ZELK_RATIO("Base64 decode, 64 MiB of CR LF lines, vs coreutils", "BM_Base64DecodeZelk", "BM_Base64DecodeCoreutils", 2.5);
ZELK_RATIO("Base64 encode, 48 MiB, vs coreutils", "BM_Base64EncodeZelk", "BM_Base64EncodeCoreutils", 1.5);

}  // namespace
