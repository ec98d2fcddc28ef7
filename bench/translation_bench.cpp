// A translation in use costs one lookup for every line the interpreter fetches: the line's
// offset in the loaded script to its translated text.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "bench_game.h"
#include "translation/translation.h"

namespace zorvel::bench {
namespace {

constexpr int kLines = 4000;

void BM_TranslationLookup(benchmark::State& state) {
  TempDir dir;
  std::string script;
  std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  for (int i = 1; i <= kLines; ++i) {
    const std::string n = std::to_string(i);
    script += "坂道をのぼる。まだ先は長い。" + n + "▼\n";
    po += "\nmsgctxt \"MAIN:" + n + "\"\nmsgid \"坂道をのぼる。まだ先は長い。" + n +
          "▼\"\nmsgstr \"Up the hill road. Still a long way to go. " + n + "▼\"\n";
  }
  WriteGame(dir.Path(), {{"main", script}});
  const std::string poPath = dir.Path() + "/en.po";
  std::ofstream(poPath) << po;
  HeadlessGame game(dir.Path(), poPath);
  game.engine().Start();
  game.Pass();
  if (!game.engine().TranslationInUse()) {
    state.SkipWithError("the translation was not loaded");
    return;
  }
  // Every line's offset, visited out of order as jumps and calls would.
  const EngineState& s = game.state();
  std::vector<int32_t> starts;
  for (int32_t pos = 0; pos < s.scriptSize;) {
    starts.push_back(pos);
    while (pos < s.scriptSize && s.scriptBuffer[static_cast<size_t>(pos)] != 0) ++pos;
    ++pos;
  }
  Interpreter& interpreter = game.engine().Interp();
  size_t i = 0;
  for (auto _ : state) {
    const TranslatedText* t = interpreter.TranslationAt(starts[i]);
    benchmark::DoNotOptimize(t);
    i = (i + 977) % starts.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslationLookup);

}  // namespace
}  // namespace zorvel::bench
