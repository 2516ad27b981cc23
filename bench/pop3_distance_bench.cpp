// A check of 300 new messages (ListGetLine 100) as a whole zelk-cli process through a relay that
// delays every byte (0, 10 and 50 ms round trip on loopback), with the server's PIPELINING shown
// and hidden, beside mpop fetching the same 300 messages whole through the same relay with its own
// pipelining: how much of a check is waiting for the network.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <string>

#include "bench_data.h"
#include "delay_proxy.h"
#include "pop3_data.h"
#include "ratio.h"

namespace zelk::bench {

namespace {

// Args: the round trip in ms, and 1 to show the server's PIPELINING, 0 to hide it.
void BM_CheckAtDistance(benchmark::State& state) {
  Server();
  const DelayProxy proxy(Server().port(), std::chrono::milliseconds(state.range(0)), state.range(1) == 1);
  for (auto _ : state) {
    state.PauseTiming();
    const std::string home = FreshHome(100, "u3", false, proxy.port());
    state.ResumeTiming();
    const double seconds = TimeCommand({ZELK_CLI_PATH, "--home", home, "check", "Work"});
    if (seconds < 0) state.SkipWithError("zelk-cli check failed");
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations() * kDistantMessages);
}
BENCHMARK(BM_CheckAtDistance)
    ->Args({0, 1})
    ->Args({10, 1})
    ->Args({50, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
// Waiting for each answer costs two round trips a message: one run is enough to see it.
BENCHMARK(BM_CheckAtDistance)->Args({10, 0})->Args({50, 0})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_FetchMpopAtDistance(benchmark::State& state) {
  if (::access("/usr/bin/mpop", X_OK) != 0) {
    state.SkipWithError("/usr/bin/mpop is not installed");
    return;
  }
  Server();
  const DelayProxy proxy(Server().port(), std::chrono::milliseconds(state.range(0)));
  RunCommandBenchmark(state,
                      {"/usr/bin/mpop", "--host=127.0.0.1", "--port=" + std::to_string(proxy.port()), "--user=u3",
                       "--passwordeval=echo pw", "--auth=user", "--tls=off", "--keep=on", "--only-new=off",
                       "--delivery=mbox," + MakeTemporaryDirectory("mpop-distance") + "box", "--quiet"},
                      0);
  state.SetItemsProcessed(state.iterations() * kDistantMessages);
}
BENCHMARK(BM_FetchMpopAtDistance)->Arg(0)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

ZELK_RATIO("Check of 300 at 10 ms vs mpop's whole fetch at 10 ms (>= 1/1.5)", "BM_CheckAtDistance/10/1",
           "BM_FetchMpopAtDistance/10", 1 / 1.5);
ZELK_RATIO("Check of 300 at 10 ms vs the same at 0 ms (>= 1/2)", "BM_CheckAtDistance/10/1", "BM_CheckAtDistance/0/1",
           0.5);
ZELK_RATIO("Check of 300 at 50 ms vs mpop's whole fetch at 50 ms (figure)", "BM_CheckAtDistance/50/1",
           "BM_FetchMpopAtDistance/50", 0);
ZELK_RATIO("Check of 300 at 0 ms pipelined vs waiting for each answer (>= 1)", "BM_CheckAtDistance/0/1",
           "BM_CheckAtDistance/0/0", 1);
ZELK_RATIO("Check of 300 at 10 ms pipelined vs waiting for each answer (figure)", "BM_CheckAtDistance/10/1",
           "BM_CheckAtDistance/10/0", 0);
ZELK_RATIO("Check of 300 at 50 ms pipelined vs waiting for each answer (figure)", "BM_CheckAtDistance/50/1",
           "BM_CheckAtDistance/50/0", 0);

}  // namespace

}  // namespace zelk::bench
