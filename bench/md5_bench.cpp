#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/md5.h"
#include "ratio.h"

namespace {

// Each iteration hashes one 8 KiB message, Init to Final; both sides hash the same bytes.
constexpr std::size_t kBlockBytes = 8 * 1024;

std::vector<std::uint8_t> MakeBlock() {
  std::vector<std::uint8_t> block(kBlockBytes);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 131 + 7);
  return block;
}

void BM_Md5Zelk(benchmark::State& state) {
  const std::vector<std::uint8_t> block = MakeBlock();
  zelk::codec::Md5Digest digest;
  for (auto _ : state) {
    zelk::codec::Md5Context context;
    zelk::codec::Md5Init(context);
    zelk::codec::Md5Update(context, block.data(), block.size());
    zelk::codec::Md5Final(digest, context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kBlockBytes));
}
BENCHMARK(BM_Md5Zelk);

void BM_Md5OpenSsl(benchmark::State& state) {
  const std::vector<std::uint8_t> block = MakeBlock();
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) {
    state.SkipWithError("EVP_MD_CTX_new failed");
    return;
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    EVP_DigestUpdate(context, block.data(), block.size());
    EVP_DigestFinal_ex(context, digest, &digestLength);
    benchmark::DoNotOptimize(digest);
    benchmark::DoNotOptimize(digestLength);
  }
  EVP_MD_CTX_free(context);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kBlockBytes));
}
BENCHMARK(BM_Md5OpenSsl);

}  // namespace

ZELK_RATIO("MD5 over 8 KiB blocks vs OpenSSL", "BM_Md5Zelk", "BM_Md5OpenSsl", 0.8);
