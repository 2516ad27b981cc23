#pragma once
#include <string>

namespace zelk::bench {

// Declares a figure printed after the run: the throughput (bytes per second) of the benchmark
// named `ours` divided by that of `peer`, both measured in this same run, against `target`.
bool DeclareRatio(std::string label, std::string ours, std::string peer, double target);

}  // namespace zelk::bench

#define ZELK_BENCH_CONCAT2(a, b) a##b
#define ZELK_BENCH_CONCAT(a, b) ZELK_BENCH_CONCAT2(a, b)
#define ZELK_RATIO(label, ours, peer, target) \
  static const bool ZELK_BENCH_CONCAT(zelkRatio, __LINE__) = ::zelk::bench::DeclareRatio(label, ours, peer, target)
