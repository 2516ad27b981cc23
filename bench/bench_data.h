#pragma once
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace zelk::bench {

// A file with the given bytes in a temporary directory, removed at exit.
std::string WriteTemporaryFile(const std::string& name, const std::string& bytes);
// A directory of its own inside that temporary directory, with a trailing "/".
std::string MakeTemporaryDirectory(const std::string& name);

// Runs a command (no shell) with stdout to /dev/null; returns the wall time in seconds, or a
// negative value when it could not run or failed.
double TimeCommand(const std::vector<std::string>& argv);

// Times a whole-process peer under Google Benchmark's manual timing.
void RunCommandBenchmark(benchmark::State& state, const std::vector<std::string>& argv, std::size_t bytesPerRun);

}  // namespace zelk::bench
