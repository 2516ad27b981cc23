// A settings load and save of a 2,000-key profile (load, read every key, set every key, save
// atomically), against reading the same file and writing it back atomically.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_data.h"
#include "config/profile_file.h"
#include "platform/files.h"
#include "ratio.h"

namespace {

namespace profile = zelk::config::profile;

struct Key {
  std::string section;
  std::string key;
};

struct ProfileData {
  std::vector<Key> keys;
  std::string path;
  std::size_t bytes = 0;
};

const ProfileData& Data() {
  static const ProfileData data = [] {
    ProfileData d;
    profile::ProfileFile file;
    for (int i = 0; i < 2000; ++i) {
      Key key{i < 200 ? "GENERAL" : "MAILBOX-" + std::to_string(i / 100 - 2), "Key" + std::to_string(i)};
      if (i % 2) {
        profile::SetInt(file, key.section, key.key, i);
      } else {
        profile::SetString(file, key.section, key.key, "value of key number " + std::to_string(i));
      }
      d.keys.push_back(std::move(key));
    }
    const std::string text = profile::Serialize(file);
    d.path = zelk::bench::WriteTemporaryFile("profile.ini", text);
    d.bytes = text.size();
    return d;
  }();
  return data;
}

void BM_ProfileLoadSaveZelk(benchmark::State& state) {
  const ProfileData& data = Data();
  for (auto _ : state) {
    profile::ProfileFile file;
    if (!profile::Load(file, data.path)) state.SkipWithError("load failed");
    for (const Key& key : data.keys) {
      const std::string value = profile::GetString(file, key.section, key.key, "", 1024);
      profile::SetString(file, key.section, key.key, value);
    }
    if (!profile::Save(file, data.path)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes));
}
BENCHMARK(BM_ProfileLoadSaveZelk)->Unit(benchmark::kMillisecond);

void BM_ProfileReadWriteFile(benchmark::State& state) {
  const ProfileData& data = Data();
  for (auto _ : state) {
    const auto bytes = zelk::platform::ReadWholeFile(data.path);
    if (!bytes || !zelk::platform::WriteFileAtomically(data.path, *bytes)) state.SkipWithError("file I/O failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes));
}
BENCHMARK(BM_ProfileReadWriteFile)->Unit(benchmark::kMillisecond);

ZELK_RATIO("Profile load + save, 2,000 keys, vs the file I/O alone", "BM_ProfileLoadSaveZelk", "BM_ProfileReadWriteFile", 0.0);

}  // namespace
