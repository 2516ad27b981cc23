// Find through the messages of a list, as the viewer's "Search all mails in folder" runs it:
// 10,000 messages of 4 KB with the text only in the last one, against a one-second limit.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "ratio.h"
#include "store/list_model.h"
#include "viewer/find.h"

namespace {

using namespace zelk;

constexpr int kMessages = 10'000;

store::MailBox& FourKilobyteMessages() {
  static store::MailBox box = [] {
    store::MailBox made;
    std::string body;
    while (body.size() < 4000) body += "Some ordinary words of a message, wrapped at a sane width.\r\n";
    for (int n = 0; n < kMessages; ++n) {
      auto item = std::make_shared<store::MailItem>();
      item->Subject = "Message " + std::to_string(n);
      item->Body = n == kMessages - 1 ? body + "the Needle at last\r\n" : body;
      item->ContentType = "text/plain; charset=UTF-8";
      item->Status = item->Mark = store::kStatusRead;
      item->Download = 1;
      made.Items.push_back(std::move(item));
    }
    return made;
  }();
  return box;
}

void BM_FindAcross10000Messages(benchmark::State& state) {
  store::ListModel list;
  store::SelectMailBox(list, FourKilobyteMessages(), store::ListBoxKind::kAccount);
  const viewer::FindRequest request{u"needle", false, true};
  for (auto _ : state) {
    const viewer::RowsResult result = viewer::FindInRows(list, 0, request, "ISO-8859-1", [] { return false; });
    if (result.row != kMessages - 1) state.SkipWithError("not found");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindAcross10000Messages)->Unit(benchmark::kMillisecond)->UseRealTime();

// The limit as a benchmark of its own, so that the figure is a ratio of two results of one run.
void BM_OneSecondLimit(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(1.0);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneSecondLimit)->UseManualTime()->Iterations(1);

}  // namespace

ZELK_RATIO("Find across 10,000 messages of 4 KB vs 1 s (>= 1)", "BM_FindAcross10000Messages", "BM_OneSecondLimit", 1.0);
