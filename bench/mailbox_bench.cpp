// A Savebox of 100,000 items with bodies (about 400 MB): loading against a reference loop that
// reads the file and copies each record into its own string, saving against one write and an
// fsync of the same bytes, and the peak memory of a load in a process of its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "platform/files.h"
#include "ratio.h"
#include "store/mailbox_file.h"

namespace zelk::bench {

namespace {

using store::MailBox;

struct SaveboxData {
  MailBox box;
  std::string path;
  std::string bytes;  // the file as saved
};

// Mostly ASCII text, with some UTF-8 and some raw 8-bit bytes, as received mail is.
std::string Body(std::mt19937& random) {
  static const char* const words[] = {"mail", "the", "of", "message", "zelk", "server", "caf\xC3\xA9",
                                      "\xE6\x97\xA5\xE6\x9C\xAC", "na\xEFve", "..dot", "data", "client"};
  std::string body;
  const std::size_t target = 3000 + random() % 2000;
  std::size_t column = 0;
  while (body.size() < target) {
    const char* word = words[random() % std::size(words)];
    body += word;
    column += std::strlen(word) + 1;
    if (column > 70) {
      body += "\r\n";
      column = 0;
    } else {
      body += ' ';
    }
  }
  return body + "\r\n";
}

const SaveboxData& Data() {
  static const SaveboxData data = [] {
    SaveboxData d;
    std::mt19937 random(5);
    for (int i = 0; i < 100000; ++i) {
      auto item = std::make_shared<store::MailItem>();
      item->From = "Sender " + std::to_string(i % 977) + " <sender" + std::to_string(i % 977) + "@example.org>";
      item->To = "me@example.org";
      item->Date = "03/01/2006 10:" + std::to_string(10 + i % 50);
      item->Subject = "Subject number " + std::to_string(i) + (i % 7 ? "" : " caf\xC3\xA9");
      item->Size = std::to_string(4000 + i % 1000);
      item->ContentType = "text/plain; charset=\"ISO-8859-1\"";
      item->MessageId = "<" + std::to_string(i) + ".12345@example.org>";
      item->MailBoxName = "Work";
      item->Status = item->Mark = 2;
      item->Download = 1;
      item->Body = Body(random);
      d.box.Items.push_back(item);
    }
    d.path = WriteTemporaryFile("SaveBox.dat", "");
    if (!store::SaveMailBox(d.path, d.box, store::kSaveWithBodies)) std::abort();
    d.bytes = *platform::ReadWholeFile(d.path);
    return d;
  }();
  return data;
}

void BM_MailBoxLoadZelk(benchmark::State& state) {
  const SaveboxData& data = Data();
  for (auto _ : state) {
    auto box = std::make_unique<MailBox>();
    if (!store::LoadMailBox(data.path, *box)) state.SkipWithError("load failed");
    state.PauseTiming();
    box.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes.size()));
}
BENCHMARK(BM_MailBoxLoadZelk)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The floor any loader meets: read the file, one string per record.
void BM_MailBoxLoadReference(benchmark::State& state) {
  const SaveboxData& data = Data();
  for (auto _ : state) {
    auto records = std::make_unique<std::vector<std::string>>();
    const std::string file = *platform::ReadWholeFile(data.path);
    for (std::size_t start = 0; start < file.size();) {
      std::size_t end = file.find("\r\n.\r\n", start);
      end = end == std::string::npos ? file.size() : end + 5;
      records->emplace_back(file, start, end - start);
      start = end;
    }
    benchmark::DoNotOptimize(records->data());
    state.PauseTiming();
    records.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes.size()));
}
BENCHMARK(BM_MailBoxLoadReference)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_MailBoxSaveZelk(benchmark::State& state) {
  const SaveboxData& data = Data();
  for (auto _ : state) {
    if (!store::SaveMailBox(data.path, data.box, store::kSaveWithBodies)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes.size()));
}
BENCHMARK(BM_MailBoxSaveZelk)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_MailBoxSaveReference(benchmark::State& state) {
  const SaveboxData& data = Data();
  const std::string path = data.path + ".reference";
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const bool ok = fd >= 0 && ::write(fd, data.bytes.data(), data.bytes.size()) == static_cast<ssize_t>(data.bytes.size()) &&
                    ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) state.SkipWithError("write failed");
  }
  ::unlink(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes.size()));
}
BENCHMARK(BM_MailBoxSaveReference)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Peak resident memory of a load, in a process that does nothing else, against the file size.
void BM_MailBoxLoadPeakMemory(benchmark::State& state) {
  const SaveboxData& data = Data();
  const std::string report = WriteTemporaryFile("peak.txt", "");
  for (auto _ : state) {
    if (TimeCommand({"/proc/self/exe", "--load-mailbox-peak", data.path, report}) < 0) state.SkipWithError("child failed");
  }
  long long peakKb = 0;
  std::ifstream(report) >> peakKb;
  state.counters["file_MB"] = static_cast<double>(data.bytes.size()) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peakKb) * 1024 / 1e6;
  state.counters["peak_per_file"] = static_cast<double>(peakKb) * 1024 / static_cast<double>(data.bytes.size());
}
BENCHMARK(BM_MailBoxLoadPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

ZELK_RATIO("Savebox load, 100,000 items, vs read + copy per record (>= 1/1.5)", "BM_MailBoxLoadZelk",
           "BM_MailBoxLoadReference", 1 / 1.5);
ZELK_RATIO("Savebox save, 100,000 items, vs one write + fsync (>= 1/2)", "BM_MailBoxSaveZelk",
           "BM_MailBoxSaveReference", 0.5);

}  // namespace

// The child of BM_MailBoxLoadPeakMemory: loads the file and writes its peak RSS (kB).
int LoadMailBoxPeak(const char* path, const char* report) {
  MailBox box;
  if (!store::LoadMailBox(path, box)) return 1;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) std::ofstream(report) << std::stoll(line.substr(6)) << "\n";
  }
  return 0;
}

}  // namespace zelk::bench
