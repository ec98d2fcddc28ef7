// Expressions, assignment lists and conditions as script lines hand them over.
#include <benchmark/benchmark.h>

#include <memory>

#include "script/expressions.h"

namespace zorvel::bench {
namespace {

struct Evaluator {
  std::unique_ptr<VariableBanks> vars = std::make_unique<VariableBanks>();
  RandomGenerator random;
  DeveloperLog log;
  Expressions expr{*vars, random, log};

  Evaluator() {
    for (int i = 0; i < 1000; ++i) vars->V[i] = i * 7 - 300;
    vars->V[1] = 12;
    vars->S[0] = 3;
    vars->F.Set(10);
  }
};

constexpr const char* kExpressions[] = {
    "V001+2*3", "V010*R100+S000/3-G5", "P001_&255_|V002", "T1234+F010*100", "2147483647+V001%7",
};
constexpr const char* kConditions[] = {
    "(V001>=3&V002!0|F010=1)",
    "(V001<V002)",
    "(S000=3)",
    "(V010*2>=V011-5&E999=0)",
};
constexpr const char* kAssignments[] = {
    "V001=V001+1;V002=V001*3",
    "v003 = v002 % 7 ; s028=1",
    "F010=1;T1234=0;G5=V001",
};

void BM_Evaluate(benchmark::State& state) {
  Evaluator e;
  for (auto _ : state) {
    for (const char* text : kExpressions) benchmark::DoNotOptimize(e.expr.Evaluate(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kExpressions)));
}
BENCHMARK(BM_Evaluate);

void BM_Condition(benchmark::State& state) {
  Evaluator e;
  for (auto _ : state) {
    for (const char* text : kConditions) benchmark::DoNotOptimize(e.expr.Condition(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kConditions)));
}
BENCHMARK(BM_Condition);

void BM_Assign(benchmark::State& state) {
  Evaluator e;
  for (auto _ : state) {
    for (const char* text : kAssignments) e.expr.Assign(text);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kAssignments)));
}
BENCHMARK(BM_Assign);

}  // namespace
}  // namespace zorvel::bench
