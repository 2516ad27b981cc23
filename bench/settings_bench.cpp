// Loading the settings of a profile with 50 accounts of 20 filters each, against reading the file.
#include <benchmark/benchmark.h>

#include "bench_data.h"
#include "config/settings.h"
#include "platform/files.h"
#include "ratio.h"

namespace zelk::bench {

namespace {

struct ProfileHome {
  std::string home;
  std::size_t bytes = 0;
};

const ProfileHome& Home() {
  static const ProfileHome data = [] {
    config::Settings settings;
    store::MailBoxTable table;
    store::Init(table);
    store::NoSelector selector;
    for (int i = 0; i < 50; ++i) {
      store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
      box.Name = "Account " + std::to_string(i);
      box.Server = "pop" + std::to_string(i) + ".example.org";
      box.User = "user" + std::to_string(i);
      box.Pass = "password " + std::to_string(i);
      box.Signature = "--\r\nAccount " + std::to_string(i) + "\r\n";
      for (int f = 0; f < 20; ++f) box.Filters.push_back({1, f % 4, "Subject:", "*word" + std::to_string(f) + "*", "From:", "*"});
    }
    ProfileHome d{MakeTemporaryDirectory("settings-home"), 0};
    if (!config::SaveSettings(d.home, settings, table, true)) std::abort();
    d.bytes = *platform::FileSize(d.home + "Zelk.ini");
    return d;
  }();
  return data;
}

void BM_SettingsLoadZelk(benchmark::State& state) {
  const ProfileHome& data = Home();
  for (auto _ : state) {
    config::Settings settings;
    store::MailBoxTable table;
    store::Init(table);
    store::NoSelector selector;
    benchmark::DoNotOptimize(config::LoadSettings(data.home, settings, table, selector));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes));
}
BENCHMARK(BM_SettingsLoadZelk)->Unit(benchmark::kMillisecond);

void BM_SettingsReadFile(benchmark::State& state) {
  const ProfileHome& data = Home();
  for (auto _ : state) benchmark::DoNotOptimize(platform::ReadWholeFile(data.home + "Zelk.ini"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes));
}
BENCHMARK(BM_SettingsReadFile)->Unit(benchmark::kMillisecond);

ZELK_RATIO("Settings load, 50 accounts x 20 filters, vs reading the file", "BM_SettingsLoadZelk", "BM_SettingsReadFile", 0.0);

}  // namespace

}  // namespace zelk::bench
