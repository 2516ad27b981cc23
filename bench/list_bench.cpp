// The message list over 100,000 and 200,000 items of a busy account: thread order against a plain
// hash-map linker over the same items, and sorts by date and by subject. Each figure of 200,000
// items is set against the one of 100,000 (throughput in items per second), so the ratios show how
// the work grows: 2.3 times the time for twice the items is the most allowed.
#include <benchmark/benchmark.h>

#include <ctime>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ratio.h"
#include "store/list_model.h"
#include "store/thread_order.h"

namespace zelk::bench {

namespace {

using store::MailBox;
using store::MailItem;

constexpr std::size_t kSmall = 100000;
constexpr std::size_t kLarge = 200000;

struct ListData {
  MailBox small;  // the first 100,000 items of `large`, the same records
  MailBox large;
};

std::string DisplayDate(std::time_t when) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%d/%m/%Y %H:%M", &parts);
  return text;
}

// Threads as mailing lists make them: most replies answer a message of the last few hundred,
// carry "Re: " and the root in References; a few have lost In-Reply-To or name a message this
// mailbox never got, so the thread hangs on References. Dates arrive roughly in order.
ListData& Data() {
  static ListData data = [] {
    static const char* const words[] = {"meeting", "notes", "release", "build", "server", "caf\xC3\xA9", "plan",
                                        "question", "invoice", "\xE6\x97\xA5\xE6\x9C\xAC", "update", "review"};
    ListData d;
    std::mt19937 random(11);
    std::vector<std::string> roots;  // each item's thread root id
    const std::time_t start = 1136073600;  // 1 Jan 2006
    for (std::size_t i = 0; i < kLarge; ++i) {
      auto item = std::make_shared<MailItem>();
      char id[80];
      std::snprintf(id, sizeof id, "<20060103%06zu.%08X.%zu@mail.example.org>", i % 1000000,
                    static_cast<unsigned>(random()), i);
      item->MessageId = id;
      const bool reply = i > 0 && random() % 10 < 6;
      if (reply) {
        const std::size_t window = std::min<std::size_t>(i, 500);
        const MailItem& parent = *d.large.Items[i - 1 - random() % window];
        const unsigned kind = random() % 100;
        if (kind >= 5) item->InReplyTo = kind < 8 ? "<lost." + std::to_string(i) + "@elsewhere>" : *parent.MessageId;
        item->References = parent.References ? *parent.References : *parent.MessageId;
        const std::string& subject = *parent.Subject;
        item->Subject = subject.rfind("Re: ", 0) == 0 ? subject : "Re: " + subject;
      } else {
        item->Subject = std::string(words[random() % std::size(words)]) + " " + words[random() % std::size(words)] +
                        " " + std::to_string(random() % 1000);
      }
      const unsigned sender = random() % 2000;
      item->From = "Sender " + std::to_string(sender) + " <sender" + std::to_string(sender) + "@example.org>";
      const long jitter = static_cast<long>(random() % 3600) - 1800;
      item->Date = DisplayDate(start + static_cast<std::time_t>(i) * 300 + jitter);
      item->Size = std::to_string(2000 + random() % 50000);
      item->Status = item->Mark = 2;
      item->Download = 1;
      item->No = static_cast<int>(i + 1);
      d.large.Items.push_back(item);
      if (i < kSmall) d.small.Items.push_back(item);
    }
    return d;
  }();
  return data;
}

MailBox& Box(std::size_t count) { return count == kSmall ? Data().small : Data().large; }

void ThreadOrder(benchmark::State& state, std::size_t count) {
  MailBox& box = Box(count);
  for (auto _ : state) {
    store::InvalidateThreadOrder(box);
    benchmark::DoNotOptimize(store::BuildThreadOrder(box));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

// The least any thread order does: one hash map from Message-Id to item, one look-up per reply.
void ThreadLinker(benchmark::State& state, std::size_t count) {
  const MailBox& box = Box(count);
  for (auto _ : state) {
    std::unordered_map<std::string_view, int> byId;
    byId.reserve(count);
    std::vector<int> parent(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
      const MailItem& item = *box.Items[i];
      for (const auto* field : {&item.InReplyTo, &item.References}) {
        if (!*field) continue;
        if (const auto found = byId.find(**field); found != byId.end()) {
          parent[i] = found->second;
          break;
        }
      }
      byId.insert_or_assign(*item.MessageId, static_cast<int>(i));
    }
    benchmark::DoNotOptimize(parent.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

// Sorts the list from mailbox order, as after selecting the mailbox.
void Sort(benchmark::State& state, std::size_t count, int key) {
  store::ListModel model;
  model.settings.LvAutoSort = 0;
  store::SelectMailBox(model, Box(count), store::ListBoxKind::kAccount);
  for (auto _ : state) {
    state.PauseTiming();
    std::iota(model.rows.begin(), model.rows.end(), std::size_t{0});
    state.ResumeTiming();
    store::SortList(model, key);
    benchmark::DoNotOptimize(model.rows.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void BM_ThreadOrder100k(benchmark::State& state) { ThreadOrder(state, kSmall); }
void BM_ThreadOrder200k(benchmark::State& state) { ThreadOrder(state, kLarge); }
void BM_ThreadLinker100k(benchmark::State& state) { ThreadLinker(state, kSmall); }
void BM_ListDateSort100k(benchmark::State& state) { Sort(state, kSmall, store::kSortByDate); }
void BM_ListDateSort200k(benchmark::State& state) { Sort(state, kLarge, store::kSortByDate); }
void BM_ListSubjectSort100k(benchmark::State& state) { Sort(state, kSmall, store::kSortBySubject); }
void BM_ListSubjectSort200k(benchmark::State& state) { Sort(state, kLarge, store::kSortBySubject); }
BENCHMARK(BM_ThreadOrder100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreadOrder200k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreadLinker100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDateSort100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDateSort200k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSubjectSort100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSubjectSort200k)->Unit(benchmark::kMillisecond);

// Twice the items in at most 2.3 times the time: a throughput ratio of at least 2 / 2.3.
constexpr double kScaling = 2.0 / 2.3;
ZELK_RATIO("Thread order, 200k vs 100k items (>= 2/2.3)", "BM_ThreadOrder200k", "BM_ThreadOrder100k", kScaling);
ZELK_RATIO("Date sort, 200k vs 100k items (>= 2/2.3)", "BM_ListDateSort200k", "BM_ListDateSort100k", kScaling);
ZELK_RATIO("Subject sort, 200k vs 100k items (>= 2/2.3)", "BM_ListSubjectSort200k", "BM_ListSubjectSort100k",
           kScaling);
ZELK_RATIO("Thread order vs hash-map linker, 100k (>= 1/2)", "BM_ThreadOrder100k", "BM_ThreadLinker100k", 0.5);

}  // namespace

}  // namespace zelk::bench
