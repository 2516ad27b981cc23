// `zelk-cli list` of an account of 100,000 items saved without bodies, as a whole process,
// against `wc -l` reading the same mailbox file.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_data.h"
#include "platform/files.h"
#include "ratio.h"
#include "store/mailbox_file.h"

namespace zelk::bench {

namespace {

struct CliHome {
  std::string home;
  std::string mailbox;
  std::size_t bytes = 0;
};

const CliHome& Home() {
  static const CliHome data = [] {
    CliHome d{MakeTemporaryDirectory("cli-home"), "", 0};
    if (!platform::WriteFileAtomically(d.home + "Zelk.ini", "[GENERAL]\r\nMailBoxCnt=1\r\n[MAILBOX-0]\r\nName=\"Work\"\r\n")) {
      std::abort();
    }
    store::MailBox box;
    for (int i = 0; i < 100000; ++i) {
      auto item = std::make_shared<store::MailItem>();
      item->No = i + 1;
      item->From = "Sender " + std::to_string(i % 977) + " <sender" + std::to_string(i % 977) + "@example.org>";
      item->Subject = (i % 3 ? "Re: " : "") + std::string("Subject ") + std::to_string(i / 3);
      item->Date = "0" + std::to_string(1 + i % 9) + "/01/2006 10:" + std::to_string(10 + i % 50);
      item->Size = std::to_string(1000 + i % 9000);
      item->MessageId = "<" + std::to_string(i) + "@example.org>";
      if (i % 3) item->InReplyTo = "<" + std::to_string(i - 1) + "@example.org>";
      box.Items.push_back(item);
    }
    d.mailbox = d.home + "MailBox0.dat";
    if (!store::SaveMailBox(d.mailbox, box, store::kSaveHeadersOnly)) std::abort();
    d.bytes = *platform::FileSize(d.mailbox);
    return d;
  }();
  return data;
}

void BM_CliList100k(benchmark::State& state) {
  const CliHome& data = Home();
  RunCommandBenchmark(state, {ZELK_CLI_PATH, "--home", data.home, "list"}, data.bytes);
}
BENCHMARK(BM_CliList100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_CliListWcPeer(benchmark::State& state) {
  const CliHome& data = Home();
  RunCommandBenchmark(state, {"wc", "-l", data.mailbox}, data.bytes);
}
BENCHMARK(BM_CliListWcPeer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

ZELK_RATIO("zelk-cli list, 100,000 items, vs wc -l of the mailbox file", "BM_CliList100k", "BM_CliListWcPeer", 0.0);

}  // namespace

}  // namespace zelk::bench
