// Runs every benchmark, then prints each declared figure as a ratio of two results of this run.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "ratio.h"

namespace zelk::bench {

namespace {

struct Ratio {
  std::string label;
  std::string ours;
  std::string peer;
  double target;
};

std::vector<Ratio>& Ratios() {
  static std::vector<Ratio> ratios;
  return ratios;
}

// Keeps the bytes-per-second figure of every benchmark, by its name without arguments.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      const auto rate = run.counters.find("bytes_per_second");
      if (run.run_type == Run::RT_Iteration && rate != run.counters.end()) {
        throughput[name.substr(0, name.find('/'))] = rate->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> throughput;
};

}  // namespace

bool DeclareRatio(std::string label, std::string ours, std::string peer, double target) {
  Ratios().push_back({std::move(label), std::move(ours), std::move(peer), target});
  return true;
}

}  // namespace zelk::bench

namespace zelk::bench {
int LoadMailBoxPeak(const char* path, const char* report);
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--load-mailbox-peak") return zelk::bench::LoadMailBoxPeak(argv[2], argv[3]);
  // Large results come from mmap and go back to the kernel when freed, so every run would pay
  // the first touch of fresh pages (a quarter of a 64 MiB decode on this machine), which streaming
  // peers never do. Keeping freed memory makes the figures those of the code itself.
  // ZELK_BENCH_FRESH_PAGES=1 measures with the allocator's default behaviour instead.
  if (const char* fresh = std::getenv("ZELK_BENCH_FRESH_PAGES"); fresh == nullptr || std::string(fresh) != "1") {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zelk::bench::CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n%-52s %12s %12s %8s %8s\n", "figure", "ours MB/s", "peer MB/s", "ratio", "target");
  for (const auto& ratio : zelk::bench::Ratios()) {
    const auto ours = reporter.throughput.find(ratio.ours);
    const auto peer = reporter.throughput.find(ratio.peer);
    if (ours == reporter.throughput.end() || peer == reporter.throughput.end()) continue;
    const double value = ours->second / peer->second;
    std::printf("%-52s %12.1f %12.1f %8.2f %7.2f%s\n", ratio.label.c_str(), ours->second / 1e6, peer->second / 1e6,
                value, ratio.target, value >= ratio.target ? "" : "  (below target)");
  }
  return 0;
}
