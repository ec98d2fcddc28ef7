// The lint of a whole game, as `zorvel-tool lint` runs it: the archives opened, every story
// script walked.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "../tools/lint.h"

namespace {

// The demo game as `make demo` builds it, when bench/run.sh names its directory. The rate is
// script lines over processor time, opening included: on a shared machine the wall clock says
// more about the neighbours than about the lint.
void BM_Lint(benchmark::State& state) {
  const char* dir = std::getenv("ZORVEL_DEMO_DIR");
  if (dir == nullptr || *dir == 0) {
    state.SkipWithError("ZORVEL_DEMO_DIR is not set");
    return;
  }
  int64_t lines = 0;
  for (auto _ : state) {
    zorvel::tool::GameDirectory game;
    std::string why;
    if (!game.Open(dir, why)) {
      state.SkipWithError(why.c_str());
      return;
    }
    const zorvel::tool::LintReport report = zorvel::tool::LintScripts(game);
    benchmark::DoNotOptimize(report.messages.data());
    lines += report.lines;
  }
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Lint);

}  // namespace
