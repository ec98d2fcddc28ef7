// Interpreter throughput on command-only scripts: assignments, calc, labels, jumps and
// conditions, no text and no waits, driven through the engine's idle pass.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_game.h"

namespace zorvel::bench {
namespace {

// One block: six lines run, one label line jumped over. The second condition is false, which
// ends the step, so a run also pays for idle passes as a real script would.
constexpr int kLinesPerBlock = 6;

std::string Block(int k) {
  const std::string n = std::to_string(k);
  return "!V001=V001+1\n"
         "@calc V002=V001*3;V003=V002%7\n"
         "@if (V002>0) @go M" +
         n +
         "\n"
         ":M" +
         n +
         "\n"
         "!V004=V004+V003\n"
         "@if (V004<0) @go TOP\n"
         "; block " +
         n + "\n";
}

struct Plan {
  std::string script;
  int64_t linesPerRun = 0;
};

// `blocks` blocks run `rounds` times: jumps stay near the top of the script.
Plan Looped(int blocks, int rounds) {
  Plan p;
  p.script = "!V009=0\n:TOP\n";
  for (int k = 0; k < blocks; ++k) p.script += Block(k);
  p.script += "!V009=V009+1\n@if (V009<" + std::to_string(rounds) + ") @go TOP\n";
  p.linesPerRun = 2 + static_cast<int64_t>(rounds) * (kLinesPerBlock * blocks + 2);
  return p;
}

// One pass through a long script: every jump searches from the top for a label further down.
Plan Straight(int blocks) {
  Plan p;
  for (int k = 0; k < blocks; ++k) p.script += Block(k);
  p.linesPerRun = static_cast<int64_t>(kLinesPerBlock) * blocks;
  return p;
}

void RunPlan(benchmark::State& state, const Plan& plan) {
  TempDir dir;
  WriteGame(dir.Path(), {{"main", plan.script}});
  HeadlessGame game(dir.Path());
  game.engine().Start();
  int64_t lines = 0;
  for (auto _ : state) {
    game.engine().StartMainScript();
    while (!game.ScriptEnded()) game.engine().AppIdle();
    lines += plan.linesPerRun;
  }
  if (game.state().vars.V[1] == 0) state.SkipWithError("the script did not run");
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  state.counters["script_kb"] = static_cast<double>(plan.script.size()) / 1024.0;
}

void BM_InterpreterLooped(benchmark::State& state) {
  RunPlan(state, Looped(16, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_InterpreterLooped)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_InterpreterStraight(benchmark::State& state) {
  RunPlan(state, Straight(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_InterpreterStraight)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
