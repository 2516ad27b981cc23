// Reading header fields: encoded words as mail carries them, a whole header block into an item,
// and the hostile Subject of 128,000 unterminated "=?a?b?x " per 1 MiB, whose decoding must grow
// with its length and no faster.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "codec/header_words.h"
#include "ratio.h"
#include "store/message_parse.h"

namespace {

using namespace zelk;

const std::vector<std::string>& TypicalValues() {
  static const std::vector<std::string> values = [] {
    const std::vector<std::string> kinds = {
        "Re: Meeting on Thursday about the quarterly figures",
        "=?UTF-8?Q?Caf=C3=A9_au_lait_und_Gr=C3=BC=C3=9Fe?= from the team",
        "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= =?ISO-2022-JP?B?GyRCJGIkJiQwGyhC?=",
        "=?utf-8?B?0J/RgNC40LLQtdGCLCDQvNC40YAh?=",
        "\"M\xC3\xBCller, Hans\" <hans.mueller@example.de>, =?iso-8859-1?q?J=F6rg?= <j@example.org>",
        "[list] =?windows-1252?Q?=93quoted=94_text?= and plain words after it",
    };
    std::vector<std::string> all;
    for (int i = 0; i < 1000; ++i) all.push_back(kinds[static_cast<std::size_t>(i) % kinds.size()]);
    return all;
  }();
  return values;
}

void BM_DecodeHeaderWordsTypical(benchmark::State& state) {
  std::int64_t bytes = 0;
  for (const std::string& value : TypicalValues()) bytes += static_cast<std::int64_t>(value.size());
  for (auto _ : state) {
    for (const std::string& value : TypicalValues()) benchmark::DoNotOptimize(codec::DecodeHeaderWords(value, "Windows-1252"));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_DecodeHeaderWordsTypical)->Unit(benchmark::kMicrosecond);

void BM_ParseMessageHeader(benchmark::State& state) {
  const std::string raw =
      "Return-Path: <list-bounces@example.org>\r\nReceived: from mx.example.org (mx.example.org [192.0.2.1])\r\n"
      "\tby mail.example.net with ESMTPS id 4AbCdEf\r\n\tfor <you@example.net>; Tue, 8 Dec 2026 10:00:00 +0100\r\n"
      "Message-ID: <20261208090000.12345@example.org>\r\nDate: Tue, 8 Dec 2026 10:00:00 +0100\r\n"
      "From: =?UTF-8?Q?J=C3=B6rg_M=C3=BCller?= <joerg@example.org>\r\n"
      "To: Hans Schmidt <hans@example.net>,\r\n Anna Becker <anna@example.net>\r\n"
      "Subject: =?UTF-8?Q?Re:_Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?=\r\n =?UTF-8?Q?_und_mehr?=\r\n"
      "In-Reply-To: <20261207.777@example.net>\r\nReferences: <20261206.1@example.org>\r\n <20261207.777@example.net>\r\n"
      "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"UTF-8\"; format=flowed\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\nHallo Hans,\r\n\r\nbis bald.\r\n";
  for (auto _ : state) {
    store::MailItem item;
    store::ParseMessage(item, raw, std::nullopt, store::ParseContext{});
    benchmark::DoNotOptimize(item);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(BM_ParseMessageHeader)->Unit(benchmark::kMicrosecond);

void BM_DecodeHeaderWordsHostile(benchmark::State& state) {
  std::string value;
  while (value.size() < static_cast<std::size_t>(state.range(0))) value += "=?a?b?x ";
  for (auto _ : state) benchmark::DoNotOptimize(codec::DecodeHeaderWords(value, "Windows-1252"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * value.size()));
}
BENCHMARK(BM_DecodeHeaderWordsHostile)->Arg(256 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

ZELK_RATIO("hostile header words: 1 MiB vs 256 KiB throughput (>= 0.5: linear)", "BM_DecodeHeaderWordsHostile/1048576",
           "BM_DecodeHeaderWordsHostile/262144", 0.5);

}  // namespace
