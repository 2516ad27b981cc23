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

// A benchmark's name with its arguments but without the run options ("/iterations:3",
// "/manual_time", "/real_time"), as ratios name it.
std::string RatioName(const std::string& name) {
  std::string kept;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = name.find('/', start);
    const std::string part = name.substr(start, slash - start);
    if (!part.starts_with("iterations:") && part != "manual_time" && part != "real_time") {
      kept += (kept.empty() ? "" : "/") + part;
    }
    if (slash == std::string::npos) return kept;
    start = slash + 1;
  }
}

// Keeps the throughput of every benchmark: bytes per second, or items per second for those that
// count items.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      for (const char* counter : {"bytes_per_second", "items_per_second"}) {
        const auto rate = run.counters.find(counter);
        if (rate != run.counters.end() && rate->second.value > 0) {
          throughput[RatioName(run.benchmark_name())] = rate->second.value;
          break;
        }
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

  std::printf("\n%-52s %12s %12s %8s %8s\n", "figure", "ours /s (M)", "peer /s (M)", "ratio", "target");
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
